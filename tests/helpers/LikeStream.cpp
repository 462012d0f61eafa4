// A stream of likes through the program's own store, for the durability tests and bench, with the
// settings in the folders the XDG_* variables name:
//
//   like-stream likes COUNT [CUT-AFTER-WRITE]
//       likes COUNT new wallpapers one after another through the liked service, once its list is
//       read, printing "saved <key>" (flushed) for each the log called saved; then "writes <n>",
//       the writes SQLite made, and "done", and ends once its standard input is closed (so that
//       a kill at any moment finds it running). With CUT-AFTER-WRITE the database goes through the
//       power-cut file system, which ends the process as a power cut would right after that
//       write (0: never, only counting).
//   like-stream check
//       opens the settings as a launch does and prints "trouble <reason>" when it could not read
//       them as they were, "liked_count <n>", "stream_liked <key>" for each key of a stream that
//       is stored, and "quick_check <result>" of the database left.
#include "foundation/Log.h"
#include "foundation/SqliteConnection.h"
#include "foundation/UserDefaults.h"
#include "library/LikedWallpapersService.h"
#include "support/PowerCutVfs.h"
#include "support/SampleLikedWallpaper.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

// The keys a stream likes begin here, past any catalogue's.
constexpr qint64 kFirstStreamKey = 5'000'000'000'000;

void print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Likes `count` wallpapers once the liked list is read, one per turn of the event loop, then quits
// once the standard input is closed.
class Stream {
public:
    explicit Stream(int count) : count_(count)
    {
        LikedWallpapersService& liked = LikedWallpapersService::shared();
        if (!liked.isLoading()) {
            QTimer::singleShot(0, qApp, [this] { likeNext(); });
            return;
        }
        QObject::connect(&liked, &LikedWallpapersService::isLoadingChanged, qApp, [this] { likeNext(); },
            Qt::SingleShotConnection);
    }

private:
    void likeNext()
    {
        if (number_ == count_) {
            print(QStringLiteral("writes %1").arg(PowerCutVfs::writes()));
            print(QStringLiteral("done"));
            quitAtEndOfInput();
            return;
        }
        capture_.clear();
        const WallpaperModel wallpaper = sampleLikedWallpaper(kFirstStreamKey + number_, number_);
        ++number_;
        LikedWallpapersService::shared().addWallpaper(wallpaper, true);
        const QStringList lines = capture_.lines();
        if (std::any_of(lines.cbegin(), lines.cend(),
                [](const QString& line) { return line.contains(QLatin1String("[LikedWallpapersService] Saved ")); }))
            print(QStringLiteral("saved %1").arg(*wallpaper.key));
        QTimer::singleShot(0, qApp, [this] { likeNext(); });
    }

    void quitAtEndOfInput()
    {
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
        QObject::connect(input, &QSocketNotifier::activated, qApp, [input] {
            char bytes[256];
            if (::read(STDIN_FILENO, bytes, sizeof bytes) > 0)
                return;
            input->setEnabled(false);
            QCoreApplication::quit();
        });
    }

    const int count_;
    int number_ = 0;
    LogCapture capture_;
};

int check()
{
    UserDefaults& defaults = UserDefaults::standard();
    if (const std::optional<UserDefaults::ReadTrouble>& trouble = defaults.readTrouble())
        print(QStringLiteral("trouble %1 (%2)").arg(trouble->reason, trouble->keptAt));
    const QList<StoredRow> rows = defaults.rows(LikedWallpapersService::kLikedWallpapersKey);
    print(QStringLiteral("liked_count %1").arg(rows.size()));
    for (const StoredRow& row : rows)
        if (row.key.toLongLong() >= kFirstStreamKey)
            print(QStringLiteral("stream_liked ") + row.key);
    SqliteFailure failure;
    const std::unique_ptr<SqliteConnection> file = SqliteConnection::open(defaults.filePath(), SqliteConnection::Mode::ReadOnly, &failure);
    const std::optional<QString> result = file ? file->single("PRAGMA quick_check", &failure) : std::nullopt;
    print(QStringLiteral("quick_check ") + result.value_or(failure.message));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode == QLatin1String("check"))
        return check();
    if (mode != QLatin1String("likes") || arguments.size() < 3)
        return 64;
    if (arguments.size() > 3) {
        PowerCutVfs::install();
        PowerCutVfs::cutAfterWrite(arguments[3].toLongLong());
        SqliteConnection::setVfsForTests(PowerCutVfs::kName);
    }
    const Stream stream(arguments[2].toInt());
    return QCoreApplication::exec();
}
