#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

const QString kList = QStringLiteral("likedWallpapersModels");
const QString kShort = QStringLiteral("savedWallpaperKey");
const QString kDisplays = QStringLiteral("savedPerMonitorWallpapers");

class UserDefaultsRereadTest : public ::testing::Test {
protected:
    ~UserDefaultsRereadTest() override { UserDefaults::setReadFault({}); }

    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    QString file() const { return folder() + QStringLiteral("/standard.json"); }

    // The file as an earlier session left it: a liked list of three, a short value, two displays.
    void writeStoredFile()
    {
        UserDefaults defaults;
        defaults.setData(kList, R"([{"key":1},{"key":2},{"key":3}])");
        defaults.setString(kShort, QStringLiteral("42"));
        defaults.setData(kDisplays, R"({"A":{"key":1},"B":{"key":2}})");
        defaults.setInteger(QStringLiteral("untouched"), 5);
    }

    // What a session does while the file is unread: likes 4, then 2 (stored already) and 5,
    // unlikes 4 and 2, sets a short value and records display A.
    static void makeSessionChanges(UserDefaults& defaults)
    {
        defaults.mergeByElement(kList, QStringLiteral("key"));
        defaults.mergeByElement(kDisplays, {});
        for (const char* list : {R"([{"key":4}])", R"([{"key":2},{"key":4}])", R"([{"key":5},{"key":2},{"key":4}])",
                 R"([{"key":5},{"key":2}])", R"([{"key":5}])"})
            defaults.setData(kList, list);
        defaults.setString(kShort, QStringLiteral("7"));
        defaults.setData(kDisplays, R"({"A":{"key":9}})");
    }

    TempFolder temp_;
    LogCapture log_;
};

// The file cannot be read for a reason that passes: the session's changes are kept in memory,
// the file is left as it is, and once it reads, the changes land on its values as changes and
// are saved, and every value that changed is announced.
TEST_F(UserDefaultsRereadTest, ChangesMadeWhileTheFileIsUnreadLandOnItsValuesOnceItReads)
{
    struct Case {
        const char* name;
        std::function<void()> block;
        std::function<void()> unblock;
    };
    int fault = 0;
    int looks = 0;
    const Case cases[] = {
        {"no free file descriptor", [&] { fault = EMFILE; }, [&] { fault = 0; }},
        {"an I/O error", [&] { fault = EIO; }, [&] { fault = 0; }},
        {"a folder in its place",
            [&] {
                ASSERT_TRUE(QFile::rename(file(), file() + QStringLiteral(".real")));
                ASSERT_TRUE(QDir().mkpath(file() + QStringLiteral("/inside")));
            },
            [&] {
                ASSERT_TRUE(QDir(file()).removeRecursively());
                ASSERT_TRUE(QFile::rename(file() + QStringLiteral(".real"), file()));
            }},
    };
    UserDefaults::setReadFault([&fault, &looks](const QString&) {
        ++looks;
        return fault;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder()).removeRecursively();
        writeStoredFile();
        const QByteArray stored = readFile(file());
        c.block();
        log_.clear();
        UserDefaults defaults;
        ASSERT_TRUE(defaults.awaitsFile());
        QSignalSpy changed(&defaults, &UserDefaults::valueChanged);
        const int looked = looks;
        makeSessionChanges(defaults);
        // Looked at again after the changes: still unread, nothing written.
        ASSERT_EVENTUALLY(looks > looked, 4 * UserDefaults::kFirstRereadMs);
        EXPECT_TRUE(defaults.awaitsFile());
        defaults.flush();
        if (QFileInfo(file()).isFile()) {
            EXPECT_EQ(readFile(file()), stored);
        }
        EXPECT_EQ(defaults.string(kShort), QStringLiteral("7")) << "the session's values stay in memory";
        changed.clear();

        c.unblock();
        ASSERT_EVENTUALLY(!defaults.awaitsFile(), 4 * UserDefaults::kFirstRereadMs);
        EXPECT_FALSE(defaults.readTrouble());
        EXPECT_EQ(defaults.data(kList), R"([{"key":5},{"key":1},{"key":3}])");
        EXPECT_EQ(defaults.string(kShort), QStringLiteral("7"));
        EXPECT_EQ(QJsonDocument::fromJson(defaults.data(kDisplays)).object(),
            QJsonDocument::fromJson(R"({"A":{"key":9},"B":{"key":2}})").object());
        EXPECT_EQ(defaults.integer(QStringLiteral("untouched")), 5);
        QStringList announced;
        for (const QList<QVariant>& signal : std::as_const(changed))
            announced.append(signal.at(0).toString());
        announced.sort();
        EXPECT_EQ(announced, (QStringList{kList, kDisplays, QStringLiteral("untouched")}));

        const UserDefaults reread;
        EXPECT_FALSE(reread.readTrouble());
        EXPECT_EQ(reread.data(kList), defaults.data(kList));
        EXPECT_EQ(reread.string(kShort), QStringLiteral("7"));
        EXPECT_EQ(reread.data(kDisplays), defaults.data(kDisplays));
        EXPECT_TRUE(QDir(folder()).entryList({QStringLiteral("standard.json.damaged-*")}, QDir::AllEntries).isEmpty());
    }
}

// The file read at last is damaged: it is moved aside as at a launch, what still reads is kept,
// and the session's changes are written on top.
TEST_F(UserDefaultsRereadTest, AFileFoundDamagedAtALaterReadIsMovedAsideAndTheSessionSaved)
{
    QDir().mkpath(folder());
    {
        QFile out(file());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(R"({"untouched":{"type":"integer","value":5},"savedWallpaperKey":{"type":"str)");
    }
    int fault = EIO;
    UserDefaults::setReadFault([&fault](const QString&) { return fault; });
    UserDefaults defaults;
    ASSERT_TRUE(defaults.awaitsFile());
    makeSessionChanges(defaults);
    fault = 0;
    ASSERT_EVENTUALLY(!defaults.awaitsFile(), 4 * UserDefaults::kFirstRereadMs);
    ASSERT_TRUE(defaults.readTrouble());
    EXPECT_TRUE(defaults.readTrouble()->movedAside);
    EXPECT_EQ(QDir(folder()).entryList({QStringLiteral("standard.json.damaged-*")}, QDir::AllEntries).size(), 1);
    const UserDefaults reread;
    EXPECT_EQ(reread.integer(QStringLiteral("untouched")), 5);
    EXPECT_EQ(reread.string(kShort), QStringLiteral("7"));
    EXPECT_EQ(reread.data(kList), R"([{"key":5}])");
}

// While the file stays unread it is looked at again, each time a little later, and the reason
// is logged once, not at every look.
TEST_F(UserDefaultsRereadTest, AFileThatStaysUnreadIsLookedAtAgainAndLoggedOnce)
{
    writeStoredFile();
    int looks = 0;
    UserDefaults::setReadFault([&looks](const QString&) {
        ++looks;
        return EIO;
    });
    UserDefaults defaults;
    ASSERT_EVENTUALLY(looks >= 3, 4 * (1 + 2 + 4) * UserDefaults::kFirstRereadMs);
    EXPECT_TRUE(defaults.awaitsFile());
    EXPECT_EQ(log_.lines().filter(QStringLiteral("Could not read ")).size(), 1) << log_.lines().join(u'\n').toStdString();
}

} // namespace
