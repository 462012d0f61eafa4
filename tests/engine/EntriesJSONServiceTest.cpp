#include "LockScreenFixture.h"
#include "engine/AerialsManifestEdit.h"
#include "engine/EntriesJSONError.h"
#include "engine/EntriesJSONService.h"
#include "support/TaskWait.h"
#include "foundation/JsonError.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace {

using samplecatalogue::Fault;

QJsonObject parsed(const QByteArray& bytes) { return QJsonDocument::fromJson(bytes).object(); }

// The entries with `id` in a manifest's array.
qsizetype countWithId(const QJsonObject& manifest, const QString& array, const QString& id)
{
    qsizetype count = 0;
    for (const QJsonValue& entry : manifest.value(array).toArray())
        count += entry.toObject().value(QStringLiteral("id")).toString() == id ? 1 : 0;
    return count;
}

// A manifest with the application's entries exactly once, and nothing else lost from `before`.
void expectInstalledOver(const QByteArray& bytes, const QByteArray& before)
{
    const QJsonObject manifest = parsed(bytes);
    const QJsonObject original = parsed(before);
    EXPECT_EQ(bytes, QJsonDocument(manifest).toJson(QJsonDocument::Indented)) << "pretty-printed, keys sorted";
    EXPECT_EQ(countWithId(manifest, QStringLiteral("categories"), AerialsManifestEdit::kCategoryId), 1);
    EXPECT_EQ(countWithId(manifest, QStringLiteral("assets"), AerialsFolders::kAssetId), 1);
    EXPECT_EQ(manifest.value(QStringLiteral("assets")).toArray().last().toObject(), AerialsManifestEdit::asset());
    EXPECT_EQ(manifest.value(QStringLiteral("initialAssetCount")).toInteger(), manifest.value(QStringLiteral("assets")).toArray().size());
    EXPECT_EQ(manifest.value(QStringLiteral("version")), original.value(QStringLiteral("version")));

    // The preview and the representative come from the original categories with a preview.
    const QJsonObject added = manifest.value(QStringLiteral("categories")).toArray().last().toObject();
    QStringList previews, representatives;
    for (const QJsonValue& category : original.value(QStringLiteral("categories")).toArray()) {
        previews << category[QStringLiteral("previewImage")].toString();
        representatives << category[QStringLiteral("representativeAssetID")].toString();
    }
    const QString preview = added[QStringLiteral("previewImage")].toString();
    const QString representative = added[QStringLiteral("representativeAssetID")].toString();
    EXPECT_TRUE(previews.contains(preview)) << preview.toStdString();
    EXPECT_TRUE(representatives.contains(representative)) << representative.toStdString();
    EXPECT_EQ(added, AerialsManifestEdit::category(preview, representative));
}

class EntriesJSONServiceTest : public LockScreenFixture {
protected:
    // Long enough for a loaded machine; the hanging server case waits longer still.
    EntriesJSONServiceTest() { service_.setStockManifestTimeout(5'000); }

    QByteArray backup() const { return readFile(service_.backupPath()); }
    // The next run stops with an exception right after its n-th file step.
    void stopAfter(int n)
    {
        service_.setStepHook([step = std::make_shared<int>(0), n](const QString& name) {
            if (++*step == n)
                throw std::runtime_error(name.toStdString());
        });
    }

    EntriesJSONService service_{folders_};
};

TEST_F(EntriesJSONServiceTest, InstallsTheApplicationsEntriesOnceHoweverOftenItRuns)
{
    folders_.seedIfNew();
    const QByteArray stock = manifest();
    LogCapture log;
    service_.backupAndInstallEntries();

    EXPECT_EQ(backup(), stock);
    EXPECT_EQ(readFile(service_.workingCopyPath()), manifest());
    expectInstalledOver(manifest(), stock);
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [EntriesJSONService] Backup verified successfully (size: %1 bytes)").arg(stock.size())));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [EntriesJSONService] Updated initialAssetCount to 3 (accessibilityLabel count: 2)")));
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [EntriesJSONService] Copied modified entries.json to system location: ") + manifestPath()));

    // Again, over its own result (a switch-off that could not restore anything leaves it so).
    service_.backupAndInstallEntries();
    expectInstalledOver(manifest(), stock);
}

TEST_F(EntriesJSONServiceTest, CountsAssetObjectsNotMentionsOfTheirKeys)
{
    writeManifest(R"({"categories": [{"previewImage": "p.png", "representativeAssetID": "R"}],
        "assets": [{"id": "A", "accessibilityLabel": "says accessibilityLabel twice: accessibilityLabel"}]})");
    service_.backupAndInstallEntries();
    EXPECT_EQ(parsed(manifest()).value(QStringLiteral("initialAssetCount")).toInteger(), 2);
}

TEST_F(EntriesJSONServiceTest, RefusesBadManifestsAndLeavesThemAsTheyWere)
{
    struct Case {
        const char* manifest; // nullptr: no file
        const char* message;  // nullptr: a JSON parse error
    };
    const Case cases[] = {
        {nullptr, "Original entries.json not found at: entries.json not found in system path"},
        {"", nullptr},
        {"{\"categories\": [", nullptr},
        {"[1, 2]", "Failed to copy entries.json: Invalid JSON structure in entries.json"},
        {R"({"categories": {}, "assets": []})", "Failed to copy entries.json: categories array not found in JSON"},
        {R"({"categories": [{"previewImage": ""}, {"id": "x"}], "assets": []})",
            "Failed to copy entries.json: No previewImages found in categories"},
        {R"({"categories": [{"previewImage": "p", "representativeAssetID": 7}], "assets": []})",
            "Failed to copy entries.json: representativeAssetID not found in random category"},
        {R"({"categories": [{"previewImage": "p", "representativeAssetID": ""}]})",
            "Failed to copy entries.json: assets array not found in JSON"},
    };
    folders_.seedIfNew();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest ? c.manifest : "(no file)");
        QFile::remove(manifestPath());
        if (c.manifest)
            writeManifest(c.manifest);
        try {
            service_.backupAndInstallEntries();
            ADD_FAILURE() << "accepted";
        } catch (const EntriesJSONError& error) {
            EXPECT_EQ(error.localizedDescription(), QString::fromUtf8(c.message));
        } catch (const JsonError&) {
            EXPECT_EQ(c.message, nullptr);
        }
        EXPECT_EQ(QFile::exists(manifestPath()), c.manifest != nullptr);
        if (c.manifest) {
            EXPECT_EQ(manifest(), QByteArray(c.manifest));
        }
    }
}

// A crash between any two file steps leaves every file whole: the manifest is the old one or
// the finished one, never a mix or a fragment.
TEST_F(EntriesJSONServiceTest, StoppingAfterAnyFileStepLeavesWholeFiles)
{
    folders_.seedIfNew();
    const QByteArray stock = manifest();
    int steps = 0;
    service_.setStepHook([&steps](const QString&) { ++steps; });
    service_.backupAndInstallEntries();
    const int installSteps = std::exchange(steps, 0);
    waitForTask(service_.restoreDefaultEntries());
    const int restoreSteps = steps;
    ASSERT_EQ(installSteps, 8);
    ASSERT_EQ(restoreSteps, 2);

    for (int stop = 1; stop <= installSteps; ++stop) {
        SCOPED_TRACE(stop);
        writeManifest(stock);
        stopAfter(stop);
        EXPECT_THROW(service_.backupAndInstallEntries(), std::runtime_error);
        if (manifest() != stock)
            expectInstalledOver(manifest(), stock);
        for (const QString& path : {service_.backupPath(), service_.workingCopyPath()})
            EXPECT_NO_THROW(AerialsManifestEdit::checkShape(readFile(path))) << path.toStdString();
    }
    for (int stop = 1; stop <= restoreSteps; ++stop) {
        SCOPED_TRACE(stop);
        writeManifest(stock);
        service_.setStepHook({});
        service_.backupAndInstallEntries();
        stopAfter(stop);
        EXPECT_THROW(waitForTask(service_.restoreDefaultEntries()), std::runtime_error);
        if (manifest() != servedStockManifest())
            expectInstalledOver(manifest(), stock);
    }
}

TEST_F(EntriesJSONServiceTest, RestoresTheStockManifestByteForByte)
{
    folders_.seedIfNew();
    service_.backupAndInstallEntries();
    LogCapture log;
    // The asset host: the catalogue's own while its statistics have named none.
    waitForTask(service_.restoreDefaultEntries());
    EXPECT_EQ(manifest(), servedStockManifest());
    EXPECT_TRUE(log.contains(QStringLiteral("✅ [EntriesJSONService] Restored entries.json from remote to ") + manifestPath()));
}

TEST_F(EntriesJSONServiceTest, FallsBackToTheBackupWhenTheStockManifestCannotBeHad)
{
    struct Case {
        const char* name;
        Fault fault;
        QString path; // where the stock manifest is looked for
    };
    const QString stock = stockPath();
    const Case cases[] = {
        {"server error", Fault{500, 0, false, false, -1}, stock},
        {"not JSON", Fault{0, 0, false, true, -1}, stock},
        {"cut short", Fault{0, 0, true, false, -1}, stock},
        {"hangs", Fault{0, 8'000, false, false, -1}, stock},
        {"another shape", Fault{}, QStringLiteral("/__control/requests")},
        {"not found", Fault{}, QStringLiteral("/assets/in-app/missing.json")},
    };
    folders_.seedIfNew();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        catalogue_.server().setFault(stock, c.fault);
        service_.setStockManifestUrl(QUrl(catalogue_.server().baseUrl() + c.path));
        QFile::remove(service_.backupPath());
        const QByteArray installed = manifest();

        // Without a backup the manifest stays as it is.
        EXPECT_THROW(waitForTask(service_.restoreDefaultEntries()), AppError);
        EXPECT_EQ(manifest(), installed);

        // With one, the manifest from before the latest install comes back.
        service_.backupAndInstallEntries();
        LogCapture log;
        waitForTask(service_.restoreDefaultEntries());
        EXPECT_EQ(manifest(), backup());
        EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [EntriesJSONService] Stock entries.json unavailable (")));
        catalogue_.server().clearFaults();
    }
}

// The bound on the reply ends it, long before the deadline would.
TEST_F(EntriesJSONServiceTest, AStockManifestWithoutEndIsCutOffAndTheBackupServes)
{
    service_.setStockManifestTimeout(120'000);
    folders_.seedIfNew();
    service_.backupAndInstallEntries();
    catalogue_.server().setFault(stockPath(), Fault{.endless = true});
    LogCapture log;
    waitForTask(service_.restoreDefaultEntries());
    EXPECT_EQ(manifest(), backup());
    EXPECT_TRUE(log.contains(QStringLiteral("⚠️ [EntriesJSONService] Stock entries.json unavailable (Failed to copy entries.json: "
                                            "Failed to fetch entries.json: The reply is longer than the 32 MiB allowed.), restored ")))
        << log.lines().join(u'\n').toStdString();
}

} // namespace
