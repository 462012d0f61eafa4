#include "PrivateSessionBus.h"

#include "library/OwnVideoFacts.h"
#include "platform/DesktopPortalFileChooser.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Chooser = DesktopPortalFileChooser;

// A portal on the test's bus: keeps what it was asked and answers as the test says.
class FakeFileChooserPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    QString parentWindow;
    QString title;
    QString filterName;
    QStringList patterns;
    QString handle;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString& parent, const QString& dialogTitle, const QVariantMap& options, const QDBusMessage& call)
    {
        parentWindow = parent;
        title = dialogTitle;
        const QDBusArgument filters = options.value(QStringLiteral("filters")).value<QDBusArgument>();
        filters.beginArray();
        while (!filters.atEnd()) {
            filters.beginStructure();
            filters >> filterName;
            filters.beginArray();
            while (!filters.atEnd()) {
                uint kind = 1;
                QString pattern;
                filters.beginStructure();
                filters >> kind >> pattern;
                filters.endStructure();
                if (kind == 0)
                    patterns.append(pattern);
            }
            filters.endArray();
            filters.endStructure();
        }
        filters.endArray();
        const QString sender = call.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        handle = Chooser::kPath + QStringLiteral("/request/") + sender + QLatin1Char('/')
            + options.value(QStringLiteral("handle_token")).toString();
        return QDBusObjectPath(handle);
    }
};

class DesktopPortalFileChooserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus_.isRunning());
        portalSide_ = bus_.connect(QStringLiteral("portal"));
        ASSERT_TRUE(portalSide_.registerObject(Chooser::kPath, &portal_, QDBusConnection::ExportAllSlots));
    }
    void startPortal() { ASSERT_TRUE(portalSide_.registerService(Chooser::kService)); }
    void answer(uint response, const QVariantMap& results)
    {
        bus_.emitSignal(portal_.handle, Chooser::kRequestInterface, QStringLiteral("Response"), {response, results},
            QStringLiteral("portal"));
    }

    PrivateSessionBus bus_;
    QDBusConnection portalSide_{QStringLiteral("unused")};
    FakeFileChooserPortal portal_;
};

// The desktop's chooser is asked with the MP4/M4V filter, and its answer reaches the caller: a
// pick, the user's cancel, or anything else as a failure (the caller then shows its own dialog).
TEST_F(DesktopPortalFileChooserTest, AsksTheDesktopsChooserAndHearsItsAnswer)
{
    Chooser chooser(bus_.connect(QStringLiteral("application")));
    EXPECT_FALSE(chooser.isAvailable()) << "no portal runs yet";
    startPortal();
    ASSERT_TRUE(chooser.isAvailable());

    const struct {
        const char* name;
        uint response;
        QVariantMap results;
        Chooser::Outcome outcome;
        QString path;
    } cases[] = {
        {"picked", 0, {{QStringLiteral("uris"), QStringList{QStringLiteral("file:///home/me/Night%20Drive.mp4")}}},
            Chooser::Outcome::Picked, QStringLiteral("/home/me/Night Drive.mp4")},
        {"cancelled", 1, {}, Chooser::Outcome::Cancelled, QString()},
        {"ended some other way", 2, {}, Chooser::Outcome::Failed, QString()},
        {"an unknown code", 7, {}, Chooser::Outcome::Failed, QString()},
        {"not a local file", 0, {{QStringLiteral("uris"), QStringList{QStringLiteral("https://example.org/a.mp4")}}},
            Chooser::Outcome::Failed, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        portal_.handle.clear();
        portal_.patterns.clear();
        QList<std::pair<Chooser::Outcome, QString>> heard;
        chooser.openFile(0x2a00007, QStringLiteral("Select an MP4 video for personal use"),
            {OwnVideoFacts::fileDialogFilterName(), OwnVideoFacts::fileDialogPatterns()},
            [&heard](Chooser::Outcome outcome, const QString& path) { heard.append({outcome, path}); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return !portal_.handle.isEmpty(); }, 10'000));
        EXPECT_EQ(portal_.parentWindow, QStringLiteral("x11:2a00007"));
        EXPECT_EQ(portal_.title, QStringLiteral("Select an MP4 video for personal use"));
        EXPECT_EQ(portal_.filterName, QStringLiteral("MPEG-4 movie"));
        EXPECT_EQ(portal_.patterns, (QStringList{"*.mp4", "*.MP4", "*.m4v", "*.M4V"}));
        answer(c.response, c.results);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 10'000));
        ASSERT_EQ(heard.size(), 1);
        EXPECT_EQ(heard.first().first, c.outcome);
        EXPECT_EQ(heard.first().second, c.path);
    }
}

// A portal that refuses the call leaves the caller to show its own dialog.
TEST_F(DesktopPortalFileChooserTest, ARefusedCallIsAFailure)
{
    QDBusConnection other = bus_.connect(QStringLiteral("bare-portal"));
    ASSERT_TRUE(other.registerService(Chooser::kService)) << "a portal without a file chooser";
    Chooser chooser(bus_.connect(QStringLiteral("application")));
    ASSERT_TRUE(chooser.isAvailable());
    std::optional<Chooser::Outcome> heard;
    chooser.openFile(0, QStringLiteral("Select"), {QStringLiteral("MPEG-4 movie"), {QStringLiteral("*.mp4")}},
        [&heard](Chooser::Outcome outcome, const QString&) { heard = outcome; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.has_value(); }, 10'000));
    EXPECT_EQ(*heard, Chooser::Outcome::Failed);
}

// A portal that the bus starts on its first call (D-Bus activation) is there before it runs.
TEST(DesktopPortalFileChooserActivationTest, APortalTheBusCanStartIsAvailable)
{
    QTemporaryDir services;
    ASSERT_TRUE(services.isValid());
    QFile entry(services.filePath(QStringLiteral("org.freedesktop.portal.Desktop.service")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[D-BUS Service]\nName=org.freedesktop.portal.Desktop\nExec=/bin/false\n");
    entry.close();
    const PrivateSessionBus withEntry(services.path());
    ASSERT_TRUE(withEntry.isRunning());
    EXPECT_TRUE(Chooser(withEntry.connect(QStringLiteral("application-with"))).isAvailable());
    QTemporaryDir noServices;
    const PrivateSessionBus without(noServices.path());
    ASSERT_TRUE(without.isRunning());
    EXPECT_FALSE(Chooser(without.connect(QStringLiteral("application-without"))).isAvailable());
}

} // namespace

#include "DesktopPortalFileChooserTest.moc"
