// The stored library survives the ends a process meets: a stream of likes in a helper process
// (helpers/LikeStream.cpp), ended by kill -9 after a chosen number of likes were logged saved, or
// by a power cut (support/PowerCutVfs) right after a chosen write. The next launch finds every
// like the log called saved, and opens the database whole, without a damaged copy.
#include "support/PowerCutVfs.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <random>

#include <csignal>

namespace {

// Generous: the helper runs under the sanitizers beside other builds; no case waits this long.
constexpr int kWaitMs = 120'000;
constexpr int kLikes = 40;

// What the launch after the end found.
struct Found {
    QStringList troubles;
    QSet<QString> liked;
    QString quickCheck;
};

class StoreDurabilityTest : public ::testing::Test {
protected:
    enum class Input { Closed, Open };

    // The helper with the settings in this test's folder, started and seen running. It stays
    // after its stream until its input is closed.
    std::unique_ptr<QProcess> start(const QStringList& arguments, Input input = Input::Closed) const
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QString::fromLatin1(variable), temp_.file(QString::fromLatin1(variable).toLower()));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QCoreApplication::applicationDirPath() + QStringLiteral("/like-stream"), arguments);
        EXPECT_TRUE(process->waitForStarted(kWaitMs)) << qPrintable(process->errorString());
        if (input == Input::Closed)
            process->closeWriteChannel();
        return process;
    }

    // The helper's next line; empty once it has ended and said everything.
    static QString nextLine(QProcess& process)
    {
        while (!process.canReadLine()) {
            if (process.state() == QProcess::NotRunning || !process.waitForReadyRead(kWaitMs)) {
                // The last bytes may come with the end.
                return process.canReadLine() ? QString::fromUtf8(process.readLine()).trimmed()
                                             : QString::fromUtf8(process.readAll()).trimmed();
            }
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    // The keys the helper printed saved until it ended, or until `stopAfter` of them.
    static QStringList savedUntil(QProcess& process, qsizetype stopAfter = -1)
    {
        QStringList saved;
        for (QString line = nextLine(process); !line.isEmpty(); line = nextLine(process)) {
            if (line.startsWith(QLatin1String("saved ")))
                saved.append(line.mid(6));
            if (saved.size() == stopAfter)
                break;
        }
        return saved;
    }

    static void waitForEnd(QProcess& process)
    {
        process.closeReadChannel(QProcess::StandardOutput);
        ASSERT_TRUE(process.state() == QProcess::NotRunning || process.waitForFinished(kWaitMs));
    }

    // A launch after the end.
    Found relaunch() const
    {
        Found found;
        const std::unique_ptr<QProcess> check = start({QStringLiteral("check")});
        for (QString line = nextLine(*check); !line.isEmpty(); line = nextLine(*check)) {
            if (line.startsWith(QLatin1String("trouble ")))
                found.troubles.append(line);
            else if (line.startsWith(QLatin1String("stream_liked ")))
                found.liked.insert(line.mid(13));
            else if (line.startsWith(QLatin1String("quick_check ")))
                found.quickCheck = line.mid(12);
        }
        check->waitForFinished(kWaitMs);
        return found;
    }

    // Every saved like found, in a database that opened whole, with nothing set aside.
    void expectKept(const QStringList& saved) const
    {
        const Found found = relaunch();
        EXPECT_EQ(found.troubles, QStringList());
        EXPECT_EQ(found.quickCheck, QStringLiteral("ok"));
        for (const QString& key : saved)
            EXPECT_TRUE(found.liked.contains(key)) << "saved like " << qPrintable(key) << " is gone";
        const QStringList folder = QDir(temp_.file(QStringLiteral("xdg_config_home/Quorvelle"))).entryList(QDir::Files);
        EXPECT_TRUE(folder.filter(QStringLiteral("damaged")).isEmpty()) << qPrintable(folder.join(u' '));
    }

    // Each run starts on no settings: its stream's keys are new, and its writes those counted.
    void removeSettings() const { QDir(temp_.file(QStringLiteral("xdg_config_home"))).removeRecursively(); }

    // Random points, reproducible from the seed the failure names.
    std::mt19937 random_{std::random_device{}()};
    TempFolder temp_;
};

TEST_F(StoreDurabilityTest, AStreamOfLikesEndsWithEveryLikeSaved)
{
    const std::unique_ptr<QProcess> stream = start({QStringLiteral("likes"), QString::number(kLikes)});
    const QStringList saved = savedUntil(*stream);
    waitForEnd(*stream);
    EXPECT_EQ(stream->exitCode(), 0);
    EXPECT_EQ(saved.size(), kLikes);
    expectKept(saved);
}

// kill -9 once this many likes were logged saved: at the first, at the last, and at random ones
// (the kill lands wherever the next like stands then).
TEST_F(StoreDurabilityTest, KillNineLosesNoLikeLoggedSaved)
{
    const unsigned seed = random_();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 pick(seed);
    QList<int> killAfter = {1, kLikes - 1};
    for (int run = 0; run < 4; ++run)
        killAfter.append(std::uniform_int_distribution<int>(1, kLikes - 1)(pick));
    for (const int likes : killAfter) {
        SCOPED_TRACE(testing::Message() << "killed after " << likes << " likes saved");
        removeSettings();
        // Still there after its last like, so that the kill always finds it running.
        const std::unique_ptr<QProcess> stream = start({QStringLiteral("likes"), QString::number(kLikes)}, Input::Open);
        QStringList saved = savedUntil(*stream, likes);
        ASSERT_EQ(saved.size(), likes);
        ::kill(pid_t(stream->processId()), SIGKILL);
        // What it logged saved before it died counts too.
        saved.append(savedUntil(*stream));
        waitForEnd(*stream);
        ASSERT_EQ(stream->exitStatus(), QProcess::CrashExit);
        expectKept(saved);
    }
}

// A power cut right after a chosen write of a stream of likes (its open's writes included): the
// first, the last, and random ones between.
TEST_F(StoreDurabilityTest, APowerCutLosesNoSavedLikeAndLeavesTheDatabaseWhole)
{
    qint64 writes = 0;
    {
        const std::unique_ptr<QProcess> counting = start({QStringLiteral("likes"), QString::number(kLikes), QStringLiteral("0")});
        for (QString line = nextLine(*counting); !line.isEmpty(); line = nextLine(*counting))
            if (line.startsWith(QLatin1String("writes ")))
                writes = line.mid(7).toLongLong();
        waitForEnd(*counting);
        ASSERT_GT(writes, kLikes);
    }
    const unsigned seed = random_();
    SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << writes << " writes in a stream");
    std::mt19937 pick(seed);
    QList<qint64> cutAfter = {1, writes};
    for (int run = 0; run < 8; ++run)
        cutAfter.append(std::uniform_int_distribution<qint64>(1, writes)(pick));
    for (const qint64 write : cutAfter) {
        SCOPED_TRACE(testing::Message() << "cut after write " << write);
        removeSettings();
        const std::unique_ptr<QProcess> stream
            = start({QStringLiteral("likes"), QString::number(kLikes), QString::number(write)});
        const QStringList saved = savedUntil(*stream);
        waitForEnd(*stream);
        ASSERT_EQ(stream->exitCode(), PowerCutVfs::kCutExitCode);
        expectKept(saved);
    }
}

} // namespace
