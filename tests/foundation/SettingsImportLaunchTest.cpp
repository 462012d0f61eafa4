#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include "support/FileBytes.h"
#include "support/RawDatabase.h"
#include "support/TempFolder.h"
#include "support/TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

class SettingsImportLaunchTest : public ::testing::Test {
protected:
    QString folder() const { return Paths::configuration() + QStringLiteral("/Quorvelle"); }
    // Puts an earlier version's files, as the test data holds them, where the launch looks.
    void placeFixture(const QString& name, bool fresh = true) const
    {
        if (fresh)
            QDir(folder()).removeRecursively();
        QDir().mkpath(folder());
        const QDir fixture(TestPaths::dataFile(QStringLiteral("legacy-settings/") + name));
        for (const QString& file : fixture.entryList(QDir::Files))
            if (file.startsWith(QStringLiteral("standard.json")))
                QFile::copy(fixture.filePath(file), folder() + u'/' + file);
    }
    QStringList files() const { return QDir(folder()).entryList(QDir::Files); }

    TempFolder temp_;
};

// The first launch takes the earlier settings in, journal and all where it belongs to its file,
// keeps the old files renamed beside the database, and says nothing unless something could not
// be imported; a later launch never imports again.
TEST_F(SettingsImportLaunchTest, TheFirstLaunchImportsTheEarlierSettingsOnce)
{
    struct Case {
        const char* fixture;
        bool hasExpected;
        bool tellsTrouble;
        QStringList kept;
    };
    const Case cases[] = {
        {"before-journal", true, false, {QStringLiteral("standard.json.imported")}},
        {"no-journal", false, false, {QStringLiteral("standard.json.imported")}},
        {"journal", true, false, {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.journal.imported")}},
        {"restored-older-file", false, true, {QStringLiteral("standard.json.imported"), QStringLiteral("standard.json.journal.imported")}},
        {"journal-without-file", false, true, {QStringLiteral("standard.json.journal.imported")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        placeFixture(QString::fromLatin1(c.fixture));
        LogCapture log;
        {
            UserDefaults defaults;
            EXPECT_FALSE(defaults.readTrouble());
            EXPECT_FALSE(defaults.awaitsFile());
            EXPECT_EQ(log.contains(QStringLiteral("Opening the settings: ")), c.tellsTrouble);
            // The user reads what was left out in Settings, naming the file, until they dismiss it.
            EXPECT_EQ(defaults.notice().contains(QStringLiteral("standard.json.journal")), c.tellsTrouble) << defaults.notice().toStdString();
            EXPECT_EQ(defaults.canDismissNotice(), c.tellsTrouble);
            for (const QString& kept : c.kept)
                EXPECT_TRUE(files().contains(kept)) << kept.toStdString();
            EXPECT_FALSE(files().contains(QStringLiteral("standard.json")));
            if (c.hasExpected) {
                const QJsonObject expected = QJsonDocument::fromJson(
                    readFile(TestPaths::dataFile(QStringLiteral("legacy-settings/%1/expected.json").arg(QString::fromLatin1(c.fixture)))))
                                                 .object();
                ASSERT_FALSE(expected.isEmpty());
                RawDatabase raw(defaults.filePath(), SQLITE_OPEN_READONLY);
                for (auto it = expected.constBegin(); it != expected.constEnd(); ++it) {
                    if (it.key() == QStringLiteral("Quorvelle.journalSequence"))
                        continue; // the old journal's own bookkeeping
                    const QByteArray stored = raw.text(QStringLiteral("SELECT entry FROM entries WHERE key = '%1'").arg(QString(it.key()).replace(u'\'', QStringLiteral("''")))).toUtf8();
                    EXPECT_EQ(QJsonDocument::fromJson(stored).object(), it.value().toObject()) << it.key().toStdString();
                }
            }
            defaults.setString(QStringLiteral("afterwards"), QStringLiteral("kept"));
        }
        // An earlier file put back (a backup, say) is not taken in over what came since.
        placeFixture(QString::fromLatin1(c.fixture), false);
        UserDefaults next;
        EXPECT_EQ(next.string(QStringLiteral("afterwards")), QStringLiteral("kept"));
        EXPECT_EQ(next.notice().isEmpty(), !c.tellsTrouble) << "told until dismissed";
        next.dismissNotice();
        EXPECT_TRUE(next.notice().isEmpty());
    }
}

// An earlier settings file that cannot be read yet (no free descriptor, something in its place) is
// never taken for none: nothing starts empty over it, the session's changes wait in the recovery
// database, and it is imported once it reads.
TEST_F(SettingsImportLaunchTest, AnEarlierFileThatCannotBeReadYetIsNotTakenForNone)
{
    placeFixture(QStringLiteral("journal"));
    const QString legacy = folder() + QStringLiteral("/standard.json");
    QFile::rename(legacy, legacy + QStringLiteral(".away"));
    QDir().mkdir(legacy);
    {
        UserDefaults defaults;
        EXPECT_TRUE(defaults.awaitsFile());
        defaults.setString(QStringLiteral("meanwhile"), QStringLiteral("kept"));
    }
    QDir().rmdir(legacy);
    QFile::rename(legacy + QStringLiteral(".away"), legacy);
    UserDefaults next;
    EXPECT_FALSE(next.awaitsFile());
    EXPECT_EQ(next.string(QStringLiteral("appearance")), QStringLiteral("dusk"));
    EXPECT_EQ(next.string(QStringLiteral("meanwhile")), QStringLiteral("kept"));
}

} // namespace
