#include "foundation/Paths.h"
#include "foundation/RenamedDomain.h"
#include "foundation/UserDefaults.h"

#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString kOld = QStringLiteral("com.example.former");
const QString kNew = QStringLiteral("plain-name");
const QString kKey = QStringLiteral("DesktopPicture");

QString folder() { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
QStringList entries() { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

TEST(RenamedDomainTest, TheOldValuesComeOverOnceAndTheOldFileIsKept)
{
    struct Case {
        const char* name;
        std::optional<QString> old;        // what the former domain holds under the key
        std::optional<QString> current;    // what the new one holds already
        bool brought;
        std::optional<QString> expected;   // the new domain's value after
        QStringList kept;                  // the old files afterwards
    };
    const Case cases[] = {
        {"an old value and an empty new store", QStringLiteral("/pictures/old.jpg"), std::nullopt, true,
            QStringLiteral("/pictures/old.jpg"), {kOld + QStringLiteral(".sqlite3.imported")}},
        {"the new store's own value wins", QStringLiteral("/pictures/old.jpg"), QStringLiteral("/pictures/new.jpg"), true,
            QStringLiteral("/pictures/new.jpg"), {kOld + QStringLiteral(".sqlite3.imported")}},
        {"nothing under the old name", std::nullopt, std::nullopt, false, std::nullopt, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        TempFolder temp;
        if (test.old) {
            UserDefaults old(kOld);
            old.setString(kKey, *test.old);
            old.setInteger(QStringLiteral("Other"), 7);
        }
        if (test.current)
            UserDefaults(kNew).setString(kKey, *test.current);
        {
            UserDefaults target(kNew);
            EXPECT_EQ(RenamedDomain::bringOver(target, kOld), test.brought);
            // Once only: a second launch finds nothing under the old name.
            EXPECT_FALSE(RenamedDomain::bringOver(target, kOld));
        }
        UserDefaults reread(kNew);
        EXPECT_EQ(reread.contains(kKey) ? std::optional(reread.string(kKey)) : std::nullopt, test.expected);
        EXPECT_EQ(reread.integer(QStringLiteral("Other")), test.old ? 7 : 0);
        QStringList old = entries().filter(kOld);
        EXPECT_EQ(old, test.kept);
        EXPECT_FALSE(QFile::exists(UserDefaults::databasePathOf(kOld)));
    }
}

// A kept copy of an earlier move is never overwritten: the next one takes the next free name.
TEST(RenamedDomainTest, AnEarlierKeptCopyIsNeverReplaced)
{
    TempFolder temp;
    const QString oldFile = UserDefaults::databasePathOf(kOld);
    UserDefaults(kOld).setString(kKey, QStringLiteral("/first.jpg"));
    ASSERT_TRUE(QFile::rename(oldFile, oldFile + QStringLiteral(".imported")));
    const auto bytes = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray first = bytes(oldFile + QStringLiteral(".imported"));
    ASSERT_FALSE(first.isEmpty());
    UserDefaults(kOld).setString(kKey, QStringLiteral("/second.jpg"));

    UserDefaults target(kNew, UserDefaults::Storage::InMemory);
    EXPECT_TRUE(RenamedDomain::bringOver(target, kOld));
    EXPECT_EQ(target.string(kKey), QStringLiteral("/second.jpg"));
    EXPECT_EQ(entries().filter(kOld), (QStringList{kOld + QStringLiteral(".sqlite3.imported"), kOld + QStringLiteral(".sqlite3.imported-2")}));
    EXPECT_EQ(bytes(oldFile + QStringLiteral(".imported")), first);
}

} // namespace
