#include "foundation/CheckedStateRecord.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Settings closed by the quit are recorded as their session left them; the record vouches for
// them only while nobody changed the file or its log since, however soon after the quit.
class CheckedStateRecordTest : public ::testing::Test {
protected:
    QString file() const { return Paths::configuration() + QStringLiteral("/Quorvelle/standard.sqlite3"); }
    static void overwrite(const QString& path, const QByteArray& bytes)
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::ReadWrite));
        out.write(bytes);
    }
    void closeSettings() const
    {
        UserDefaults defaults;
        defaults.setString(QStringLiteral("name"), QStringLiteral("value"));
    }

    TempFolder temp_;
};

TEST_F(CheckedStateRecordTest, VouchesOnlyForTheFilesAsTheQuitLeftThem)
{
    struct Case {
        const char* name;
        std::function<void(const QString& file)> change;
        bool vouched;
    };
    const Case cases[] = {
        {"untouched", [](const QString&) {}, true},
        {"the same bytes written over the file at once", [](const QString& f) { overwrite(f, readFile(f).left(4096)); }, false},
        {"a log added beside it", [](const QString& f) { overwrite(f + QStringLiteral("-wal"), QByteArray(32, 'x')); }, false},
        {"the file replaced by its copy", [](const QString& f) {
             const QByteArray bytes = readFile(f);
             QFile::remove(f);
             overwrite(f, bytes);
         }, false},
        {"the record removed", [](const QString& f) { QFile::remove(CheckedStateRecord::recordPath(f)); }, false},
        {"the record torn", [](const QString& f) { overwrite(CheckedStateRecord::recordPath(f), "1\n12"); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file());
        QFile::remove(file() + QStringLiteral("-wal"));
        closeSettings();
        ASSERT_TRUE(CheckedStateRecord::matches(file()));
        c.change(file());
        EXPECT_EQ(CheckedStateRecord::matches(file()), c.vouched);
    }
}

// A store that opened from a record and then changed something is recorded anew at its end.
TEST_F(CheckedStateRecordTest, ASessionThatChangesTheFileRecordsItAgain)
{
    closeSettings();
    {
        UserDefaults defaults;
        EXPECT_EQ(defaults.string(QStringLiteral("name")), QStringLiteral("value"));
        defaults.setString(QStringLiteral("name"), QStringLiteral("other"));
        EXPECT_FALSE(CheckedStateRecord::matches(file()));
    }
    EXPECT_TRUE(CheckedStateRecord::matches(file()));
    UserDefaults reopened;
    EXPECT_EQ(reopened.string(QStringLiteral("name")), QStringLiteral("other"));
}

} // namespace
