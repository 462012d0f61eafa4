// The power-cut file system drops exactly what was not synced: a commit SQLite did not sync is
// gone after the cut, one it synced stays, in either journal mode.
#include "support/PowerCutVfs.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Cut {
    const char* name;
    const char* journal;
    const char* synchronous;
    // The rows there after the cut: the first, committed and synced, and the second when its
    // commit was synced.
    int rows;
};

class PowerCutVfsTest : public ::testing::TestWithParam<Cut> {
protected:
    // The rows the database holds, opened as it stands.
    int rows() const
    {
        sqlite3* db = nullptr;
        int count = -1;
        if (sqlite3_open_v2(path_.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
            sqlite3_stmt* query = nullptr;
            sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &query, nullptr);
            if (query && sqlite3_step(query) == SQLITE_ROW)
                count = sqlite3_column_int(query, 0);
            sqlite3_finalize(query);
        }
        sqlite3_close(db);
        return count;
    }

    TempFolder temp_;
    const QByteArray path_ = QFile::encodeName(temp_.file(QStringLiteral("cut.sqlite3")));
};

TEST_P(PowerCutVfsTest, DropsWhatWasNotSynced)
{
    PowerCutVfs::install();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only SQLite and the file system run here, and the process ends without its handlers.
        sqlite3* db = nullptr;
        const auto run = [&db](const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; };
        if (sqlite3_open_v2(path_.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, PowerCutVfs::kName) != SQLITE_OK
            || !run(GetParam().journal) || !run("PRAGMA synchronous=FULL; CREATE TABLE t(x); INSERT INTO t VALUES(1)")
            || !run(GetParam().synchronous) || !run("INSERT INTO t VALUES(2)"))
            ::_exit(1);
        // The cut comes with the first write of the next commit.
        PowerCutVfs::cutAfterWrite(PowerCutVfs::writes() + 1);
        run("INSERT INTO t VALUES(3)");
        ::_exit(2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), PowerCutVfs::kCutExitCode);
    EXPECT_EQ(rows(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Journals, PowerCutVfsTest,
    ::testing::Values(Cut{"WalSyncedAtCommit", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", 2},
        Cut{"WalNeverSynced", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=OFF", 1},
        Cut{"RollbackSyncedAtCommit", "PRAGMA journal_mode=DELETE", "PRAGMA synchronous=FULL", 2},
        Cut{"RollbackNeverSynced", "PRAGMA journal_mode=DELETE", "PRAGMA synchronous=OFF", 1}),
    [](const ::testing::TestParamInfo<Cut>& cut) { return std::string(cut.param.name); });

} // namespace
