#include "engine/WallpaperPersistenceService.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

#include "support/Eventually.h"
#include "support/SettingsReadFault.h"
#include "support/TempFolder.h"

#include <QJsonDocument>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

using Service = WallpaperPersistenceService;

const QUrl kVideo = QUrl::fromLocalFile(QStringLiteral("/videos/a b.mp4"));
const QUrl kOtherVideo = QUrl::fromLocalFile(QStringLiteral("/videos/other.mp4"));

class WallpaperPersistenceServiceTest : public ::testing::Test {
protected:
    // The displays' rows, each record under its display.
    QJsonObject storedRecords()
    {
        QJsonObject records;
        for (const StoredRow& row : defaults.rows(Service::kPerMonitorKey))
            records.insert(row.key, QJsonDocument::fromJson(row.record).object());
        return records;
    }
    // The records as rows, each under its display.
    void storeRows(const QList<std::pair<QString, QByteArray>>& records)
    {
        SettingsChange::ListChange rows;
        for (const auto& [display, record] : records)
            rows.put.append({display, 0, record});
        ASSERT_TRUE(defaults.changeRows(Service::kPerMonitorKey, rows));
    }
    // The one document earlier versions kept.
    void storeDocument(const QByteArray& json) { defaults.setData(Service::kPerMonitorKey, json); }

    UserDefaults defaults{QStringLiteral("persistence-test"), UserDefaults::Storage::InMemory};
    Service service{defaults};
    LogCapture log;
};

// The single record

TEST_F(WallpaperPersistenceServiceTest, SavesAndLoadsTheSingleRecord)
{
    service.saveWallpaper(42, kVideo);
    EXPECT_TRUE(log.contains(QStringLiteral("💾 [WallpaperPersistenceService] Saved wallpaper: key=42, screen=homeScreen")));
    EXPECT_EQ(defaults.integer(Service::kWallpaperKeyKey), 42);
    EXPECT_EQ(defaults.string(Service::kWallpaperScreenKey), "homeScreen");
    EXPECT_EQ(defaults.string(Service::kWallpaperMasterUrlKey), "file:///videos/a%20b.mp4");

    const auto saved = service.loadSavedWallpaper();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->key, 42);
    EXPECT_EQ(saved->screen, WallpaperScreenType::homeScreen);
    EXPECT_EQ(saved->masterUrl, kVideo);
    EXPECT_TRUE(log.contains(QStringLiteral("📖 [WallpaperPersistenceService] Loaded wallpaper: key=42, screen=homeScreen")));
}

TEST_F(WallpaperPersistenceServiceTest, NothingSavedIsLoggedAndGivesNothing)
{
    EXPECT_FALSE(service.loadSavedWallpaper());
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("ℹ️ [WallpaperPersistenceService] No saved wallpaper found")});
    EXPECT_TRUE(service.loadPerMonitorWallpapers().isEmpty());
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(WallpaperPersistenceServiceTest, ReadsStoredSingleRecordsLeniently)
{
    // What is stored under the key, the screen type (none: left out) and the address.
    struct Case {
        const char* name;
        std::function<void(UserDefaults&)> storeKey;
        std::optional<QString> screen;
        std::optional<QString> url;
        std::optional<qint64> expectedKey;
    };
    const QString url = kVideo.toString(QUrl::FullyEncoded);
    const auto integer = [](qint64 key) { return [key](UserDefaults& d) { d.setInteger(Service::kWallpaperKeyKey, key); }; };
    const auto number = [](double key) { return [key](UserDefaults& d) { d.setDouble(Service::kWallpaperKeyKey, key); }; };
    const auto text = [](UserDefaults& d) { d.setString(Service::kWallpaperKeyKey, QStringLiteral("7")); };
    const std::vector<Case> cases = {
        {"no screen type reads as the desktop", integer(7), std::nullopt, url, 7},
        {"zero is a key", integer(0), QStringLiteral("homeScreen"), url, 0},
        {"a key stored as a double is cut to a whole number", number(7.9), std::nullopt, url, 7},
        {"a double no integer holds is none", number(1e300), std::nullopt, url, std::nullopt},
        {"a key stored as text is none", text, std::nullopt, url, std::nullopt},
        {"another screen type is none", integer(7), QStringLiteral("lockScreen"), url, std::nullopt},
        {"an address that is not a URL is none", integer(7), std::nullopt, QStringLiteral("http://[::1"), std::nullopt},
        {"no address is none", integer(7), std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& each : cases) {
        UserDefaults store(QStringLiteral("case"), UserDefaults::Storage::InMemory);
        each.storeKey(store);
        if (each.screen)
            store.setString(Service::kWallpaperScreenKey, *each.screen);
        if (each.url)
            store.setString(Service::kWallpaperMasterUrlKey, *each.url);
        LogCapture lines;
        const auto saved = Service(store).loadSavedWallpaper();
        EXPECT_EQ(saved ? std::optional(saved->key) : std::nullopt, each.expectedKey) << each.name;
        // Only a wholly missing record is worth a line; a damaged one is left as it is.
        EXPECT_EQ(lines.lines().size(), each.expectedKey ? 1 : 0) << each.name;
        EXPECT_TRUE(store.contains(Service::kWallpaperKeyKey)) << each.name;
    }
}

TEST_F(WallpaperPersistenceServiceTest, ClearingTheSingleRecordKeepsTheDisplays)
{
    service.saveWallpaper(42, kVideo);
    service.savePerMonitorWallpaper(QStringLiteral("Display A_1920x1080"), 42, kVideo);
    const QList<StoredRow> displays = defaults.rows(Service::kPerMonitorKey);

    service.clearSavedWallpaper();
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ [WallpaperPersistenceService] Cleared saved wallpaper")));
    EXPECT_FALSE(defaults.contains(Service::kWallpaperKeyKey));
    EXPECT_FALSE(defaults.contains(Service::kWallpaperScreenKey));
    EXPECT_FALSE(defaults.contains(Service::kWallpaperMasterUrlKey));
    EXPECT_EQ(defaults.rows(Service::kPerMonitorKey), displays);
}

// The per-display records

TEST_F(WallpaperPersistenceServiceTest, KeepsOneRecordPerDisplayUntilRemoved)
{
    service.savePerMonitorWallpaper(QStringLiteral("A_1920x1080"), 1, kVideo);
    service.savePerMonitorWallpaper(QStringLiteral("B_1280x720"), 2, kVideo);
    service.savePerMonitorWallpaper(QStringLiteral("A_1920x1080"), 3, kOtherVideo);
    EXPECT_TRUE(log.contains(QStringLiteral("💾 [WallpaperPersistenceService] Saved per-monitor: display=A_1920x1080, key=3")));

    const auto records = service.loadPerMonitorWallpapers();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records.value(QStringLiteral("A_1920x1080")),
              (PerMonitorEntry{QStringLiteral("A_1920x1080"), 3, QStringLiteral("file:///videos/other.mp4")}));
    EXPECT_EQ(records.value(QStringLiteral("B_1280x720")).key, 2);

    const auto one = service.loadPerMonitorWallpaper(QStringLiteral("B_1280x720"));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->key, 2);
    EXPECT_EQ(one->masterUrl, kVideo);
    EXPECT_FALSE(service.loadPerMonitorWallpaper(QStringLiteral("C_800x600")));

    // The stored form: one row of compact JSON per display, under the display.
    EXPECT_EQ(storedRecords().value(QStringLiteral("B_1280x720")).toObject(),
              (QJsonObject{{QStringLiteral("displayPersistenceID"), QStringLiteral("B_1280x720")}, {QStringLiteral("key"), 2},
                           {QStringLiteral("masterUrlString"), QStringLiteral("file:///videos/a%20b.mp4")}}));
    for (const StoredRow& row : defaults.rows(Service::kPerMonitorKey))
        EXPECT_FALSE(row.record.contains('\n'));

    service.removePerMonitorWallpaper(QStringLiteral("A_1920x1080"));
    service.removePerMonitorWallpaper(QStringLiteral("Z_1x1"));
    EXPECT_TRUE(log.contains(QStringLiteral("🗑️ [WallpaperPersistenceService] Cleared per-monitor: display=Z_1x1")));
    EXPECT_EQ(service.loadPerMonitorWallpapers().keys(), QStringList{QStringLiteral("B_1280x720")});
    service.clearAllPerMonitorWallpapers();
    EXPECT_TRUE(defaults.rows(Service::kPerMonitorKey).isEmpty());
}

// Stored as rows, or in the one document earlier versions kept (made rows at its first read).
TEST_F(WallpaperPersistenceServiceTest, ABadRecordCostsNoOtherDisplayItsRecord)
{
    const QByteArray a = R"({"displayPersistenceID":"A_1","key":1,"masterUrlString":"file:///a.mp4"})";
    const QByteArray b = R"({"displayPersistenceID":"B_1","key":2})";
    const QByteArray c = R"({"displayPersistenceID":"C_1","key":3,"masterUrlString":"not a url"})";
    const struct {
        const char* name;
        std::function<void()> store;
    } stores[] = {
        {"rows", [&] { storeRows({{QStringLiteral("A_1"), a}, {QStringLiteral("B_1"), b}, {QStringLiteral("C_1"), c}}); }},
        {"an earlier version's document", [&] { storeDocument("{\"A_1\":" + a + ",\"B_1\":" + b + ",\"C_1\":" + c + "}"); }},
    };
    for (const auto& stored : stores) {
        SCOPED_TRACE(stored.name);
        service.clearAllPerMonitorWallpapers();
        stored.store();
        log.clear();
        const auto records = service.loadPerMonitorWallpapers();
        EXPECT_EQ(records.keys(), (QStringList{QStringLiteral("A_1"), QStringLiteral("C_1")}));
        EXPECT_TRUE(log.contains(QStringLiteral("Skipped unreadable per-monitor entry: ")));
        // A record whose address is not a URL is listed but gives no wallpaper.
        EXPECT_FALSE(service.loadPerMonitorWallpaper(QStringLiteral("C_1")));

        // Saving another display puts its row; every other row stays as it was, the bad one too.
        service.savePerMonitorWallpaper(QStringLiteral("D_1"), 4, kVideo);
        EXPECT_FALSE(defaults.contains(Service::kPerMonitorKey)) << "the document is now rows";
        QStringList displays;
        for (const StoredRow& row : defaults.rows(Service::kPerMonitorKey)) {
            displays.append(row.key);
            if (row.key == QStringLiteral("B_1")) {
                EXPECT_EQ(row.record, b);
            }
        }
        displays.sort();
        EXPECT_EQ(displays, QString("A_1 B_1 C_1 D_1").split(QLatin1Char(' ')));
    }
}

// An earlier version's document that does not read is never replaced nor made rows: it stays as
// it is under its key, and the displays' rows go beside it.
TEST_F(WallpaperPersistenceServiceTest, NeverOverwritesAnEarlierDocumentItCannotRead)
{
    for (const QByteArray& damaged : {QByteArray(R"({"A_1":)"), QByteArray(R"([{"key":1}])"), QByteArray()}) {
        SCOPED_TRACE(damaged.toStdString());
        service.clearAllPerMonitorWallpapers();
        storeDocument(damaged);
        log.clear();
        EXPECT_TRUE(service.loadPerMonitorWallpapers().isEmpty());
        EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [WallpaperPersistenceService] Unreadable earlier per-monitor wallpapers, kept as they are")));
        service.savePerMonitorWallpaper(QStringLiteral("A_1"), 1, kVideo);
        service.savePerMonitorWallpaper(QStringLiteral("B_1"), 2, kVideo);
        service.removePerMonitorWallpaper(QStringLiteral("A_1"));
        EXPECT_EQ(defaults.data(Service::kPerMonitorKey), damaged);
        EXPECT_EQ(service.loadPerMonitorWallpapers().keys(), QStringList{QStringLiteral("B_1")});
    }
    // Only an explicit clear lets it go.
    service.clearAllPerMonitorWallpapers();
    EXPECT_FALSE(defaults.contains(Service::kPerMonitorKey));
}

// A display chosen while the database cannot be opened is merged into the stored displays by
// its key once it opens: every other display keeps its record, stored as rows or in an earlier
// version's document.
TEST_F(WallpaperPersistenceServiceTest, ADatabaseOpenedLateKeepsTheOtherDisplaysRecords)
{
    const struct {
        const char* name;
        std::function<void(UserDefaults&)> store;
    } stores[] = {
        {"rows", [](UserDefaults& stored) {
             Service(stored).savePerMonitorWallpaper(QStringLiteral("A_1"), 1, kVideo);
             Service(stored).savePerMonitorWallpaper(QStringLiteral("B_1"), 2, kVideo);
         }},
        {"an earlier version's document", [](UserDefaults& stored) {
             stored.setData(Service::kPerMonitorKey,
                 R"({"A_1":{"displayPersistenceID":"A_1","key":1,"masterUrlString":"file:///a.mp4"},)"
                 R"("B_1":{"displayPersistenceID":"B_1","key":2,"masterUrlString":"file:///b.mp4"}})");
         }},
    };
    for (const auto& stored : stores) {
        SCOPED_TRACE(stored.name);
        TempFolder temp;
        {
            UserDefaults before;
            stored.store(before);
        }
        {
            SettingsReadFault fault(EMFILE);
            UserDefaults late;
            Service lateService(late);
            lateService.savePerMonitorWallpaper(QStringLiteral("B_1"), 3, kOtherVideo);
            EXPECT_EQ(lateService.loadPerMonitorWallpapers().keys(), QStringList{QStringLiteral("B_1")});
            QSignalSpy read(&late, &UserDefaults::fileRead);
            fault.pass();
            ASSERT_EVENTUALLY(read.size() == 1, 30 * UserDefaults::kFirstRetryMs);
            const auto merged = lateService.loadPerMonitorWallpapers();
            EXPECT_EQ(merged.keys(), (QStringList{QStringLiteral("A_1"), QStringLiteral("B_1")}));
            EXPECT_EQ(merged.value(QStringLiteral("A_1")).key, 1) << "display A keeps its wallpaper";
            EXPECT_EQ(merged.value(QStringLiteral("B_1")).key, 3) << "the session's choice wins";
        }
        UserDefaults next;
        const auto relaunched = Service(next).loadPerMonitorWallpapers();
        EXPECT_EQ(relaunched.value(QStringLiteral("A_1")).key, 1);
        EXPECT_EQ(relaunched.value(QStringLiteral("B_1")).key, 3);
    }
}

// While the database cannot be opened, a record is kept in the recovery database and the log says
// so, never "Saved"; once the database opens, the record is in it.
TEST_F(WallpaperPersistenceServiceTest, ARecordMadeWhileTheDatabaseIsUnopenedIsNotCalledSaved)
{
    struct Case {
        const char* name;
        std::function<void(Service&)> save;
        QString kept;
        // The single record's key, or none for the display's row.
        QString key;
    };
    const Case cases[] = {
        {"single", [](Service& late) { late.saveWallpaper(42, kVideo); },
            QStringLiteral("⏳ [WallpaperPersistenceService] Kept wallpaper in the recovery database (key=42, screen=homeScreen)"),
            Service::kWallpaperKeyKey},
        {"per display", [](Service& late) { late.savePerMonitorWallpaper(QStringLiteral("DP-1"), 42, kVideo); },
            QStringLiteral("⏳ [WallpaperPersistenceService] Kept per-monitor in the recovery database (display=DP-1, key=42)"),
            QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        UserDefaults().setInteger(QStringLiteral("untouched"), 5);
        {
            SettingsReadFault fault(EIO);
            UserDefaults late;
            Service lateService(late);
            log.clear();
            c.save(lateService);
            ASSERT_EQ(log.lines().size(), 1);
            EXPECT_TRUE(log.lines().at(0).startsWith(c.kept)) << log.lines().at(0).toStdString();

            QSignalSpy read(&late, &UserDefaults::fileRead);
            fault.pass();
            ASSERT_EVENTUALLY(read.size() == 1, 30 * UserDefaults::kFirstRetryMs);
        }
        UserDefaults reopened;
        if (c.key.isEmpty()) {
            EXPECT_TRUE(Service(reopened).loadPerMonitorWallpaper(QStringLiteral("DP-1")));
        } else {
            EXPECT_TRUE(reopened.contains(c.key));
        }
        EXPECT_EQ(reopened.integer(QStringLiteral("untouched")), 5);
    }
}

} // namespace
