#include "platform/VideoPlayer.h"

#include "foundation/Config.h"
#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "platform/HttpTrustStore.h"
#include "platform/MpvLibrary.h"
#include "platform/VideoFrameBuffer.h"
#include "platform/VideoRenderThread.h"
#include "signalry/AtomicFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QThreadPool>

#include <malloc.h>

#include <mutex>
#include <utility>

namespace {
const QString kLogType = QStringLiteral("VideoPlayer");

// Options for a silent wallpaper loop drawn by our own renderer: no audio output, no window of
// mpv's own, no scripts (the built-in controller, console, statistics and auto-profile scripts
// each cost a Lua state and a thread, 5-6 MiB a player), no child processes, no input bindings,
// filled and cropped, frames handed over as soon as they are due rather than held until their
// display time, the built-in "sw-fast" profile's cheaper software scaling, and four decoding
// threads: each thread holds a frame of its own, and the default (one per core, and one more)
// holds some 40 MiB more for a 1080p loop on eight cores, for no gain: four still decode a 4K
// 60 fps loop three times faster than it plays, with less CPU time.
// Frames are converted by swscale, never zimg: with that profile's fast bilinear path a player
// costs about two thirds of its CPU with zimg, scaled (1080p to 1440p and to 4K, a 720p preview
// to a window) or not, zimg's planar output needing a second pass to pack it.
constexpr std::pair<const char*, const char*> kOptions[] = {
    {"vo", "libmpv"},
    {"audio", "no"},
    {"mute", "yes"},
    {"loop-file", "inf"},
    {"keep-open", "yes"},
    {"hwdec", "no"},
    {"ytdl", "no"},
    {"load-scripts", "no"},
    {"osc", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"input-default-bindings", "no"},
    {"panscan", "1.0"},
    {"video-timing-offset", "0"},
    {"profile", "sw-fast"},
    {"vd-lavc-threads", "4"},
    {"sws-allow-zimg", "no"},
};

// The player reads previews from the asset host when no copy is cached: it trusts what the
// program's own connections trust (HttpTrustStore's: the system's bundle and the CA file). Its
// TLS layer takes a single file of authorities, so with an extra one configured both files go
// into one, written again whenever it is not what it should be (removed, or a new extra
// authority). GUI thread.
QByteArray authoritiesFile()
{
    static QString readFrom;
    static QByteArray pem;
    const QString extra = Config::current().caCertificateFile;
    if (extra.isEmpty())
        return {};
    if (extra != readFrom) {
        pem.clear();
        for (const QString& path : {HttpTrustStore::systemBundle(), extra}) {
            if (QFile file(path); file.open(QIODevice::ReadOnly))
                pem += file.readAll() + '\n';
        }
        readFrom = extra;
    }
    const QString path = Paths::appSupport() + QStringLiteral("/trusted-authorities.pem");
    if (QFile written(path); written.open(QIODevice::ReadOnly) && written.readAll() == pem)
        return QFile::encodeName(path);
    QString error;
    if (!signalry::AtomicFile::write(path, pem, &error)) {
        // Without the file the system's authorities alone are trusted: stricter, never looser.
        logLine(QStringLiteral("⚠️"), kLogType, QStringLiteral("Could not write the trusted authorities for videos to ") + path + QStringLiteral(": ") + error);
        return {};
    }
    return QFile::encodeName(path);
}

// Freeing a render context waits for mpv's video output to let go of it, which takes up to
// 0.2 s while a frame is due (measured: 0.2 s for a playing player, 5 ms for a paused one), and
// mpv_terminate_destroy() blocks until the core's threads are done (and a stalled network read
// is cancelled). Both run here instead of on the GUI thread, on at most two threads: the players
// of a page that closes are let go together, and a thread for each would outnumber the players
// left. The threads end a second after the last teardown instead of idling for Qt's 30 s. The
// program's end waits a moment for them (waitForTeardowns) and otherwise ends without them;
// whatever is still running when Qt's application goes is waited for, before the libraries' own
// statics go.
constexpr int kTeardownThreads = 2;
constexpr int kTeardownIdleMs = 1000;

QThreadPool& teardownPool()
{
    static const std::unique_ptr<QThreadPool> pool = [] {
        auto made = std::make_unique<QThreadPool>();
        made->setMaxThreadCount(kTeardownThreads);
        made->setExpiryTimeout(kTeardownIdleMs);
        qAddPostRoutine([] { teardownPool().waitForDone(); });
        return made;
    }();
    return *pool;
}

constexpr int kLargeBlockBytes = 1 << 20;

bool isPlayableAddress(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isLocalFile() || scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
} // namespace

VideoPlayer::VideoPlayer(QObject* parent) : QObject(parent)
{
    if (!startCore())
        logLine(QStringLiteral("❌"), kLogType, QStringLiteral("Could not start the video engine"));
}

VideoPlayer::~VideoPlayer()
{
    // Nothing may call back into this object once it is gone: the update callback goes with the
    // render thread, then the wakeup callback. The render context is still freed before the core.
    renderThread_.reset();
    if (!mpv_)
        return;
    MpvLibrary::setWakeupCallback(mpv_, nullptr, nullptr);
    teardownPool().start([mpv = mpv_, context = renderContext_] {
        MpvLibrary::renderContextFree(context);
        MpvLibrary::terminateDestroy(mpv);
        // What the core's threads freed into malloc's arenas goes back to the system too. Under
        // AddressSanitizer the arenas are not malloc's, and a trim racing the end of the
        // process walks glibc's arenas as they go.
#if !defined(__SANITIZE_ADDRESS__)
        malloc_trim(0);
#endif
    });
}

bool VideoPlayer::waitForTeardowns(int ms) { return teardownPool().waitForDone(ms); }

bool VideoPlayer::startCore()
{
    // malloc serves a block from its arenas once a block that size was freed, and keeps freed
    // arena memory from the system: the decoder's frames (2 to 12 MiB each) of one video then
    // stay with the process after the next video starts, and applying videos one after
    // another grows it by hundreds of MiB. A fixed threshold maps every large block on its own,
    // and the system gets it back when it is freed. Frames come from pools, so this costs no
    // system call per frame.
    static std::once_flag largeBlocksMapped;
    std::call_once(largeBlocksMapped, [] { mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes); });

    // Fails unless LC_NUMERIC is "C" (set once at the program's start, ApplicationMain).
    mpv_ = MpvLibrary::create();
    if (!mpv_)
        return false;
    MpvLibrary::setWakeupCallback(mpv_, &VideoPlayer::onWakeup, this);
    for (const auto& [name, value] : kOptions) {
        if (MpvLibrary::setOptionString(mpv_, name, value) < 0)
            logLine(QStringLiteral("⚠️"), kLogType, QStringLiteral("Ignored video option ") + QLatin1String(name));
    }
    // Certificates are checked as on every other connection of the program; a player that
    // cannot be told so plays no video.
    if (MpvLibrary::setOptionString(mpv_, "tls-verify", "yes") < 0) {
        logLine(QStringLiteral("❌"), kLogType, QStringLiteral("The video engine cannot check certificates"));
        MpvLibrary::setWakeupCallback(mpv_, nullptr, nullptr);
        MpvLibrary::terminateDestroy(mpv_);
        mpv_ = nullptr;
        return false;
    }
    MpvLibrary::requestLogMessages(mpv_, "warn");

    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (MpvLibrary::initialize(mpv_) < 0 || MpvLibrary::renderContextCreate(&renderContext_, mpv_, params) < 0) {
        MpvLibrary::setWakeupCallback(mpv_, nullptr, nullptr);
        MpvLibrary::terminateDestroy(mpv_);
        mpv_ = nullptr;
        renderContext_ = nullptr;
        return false;
    }
    renderThread_ = std::make_unique<VideoRenderThread>(renderContext_);
    connect(renderThread_.get(), &VideoRenderThread::frameRendered, this, &VideoPlayer::takeFrame);
    return true;
}

void VideoPlayer::load(const QUrl& url)
{
    url_ = url;
    ++loadRequest_;
    entryId_ = -1;
    fileLoaded_ = false;
    ready_ = false;
    if (!mpv_) {
        fail(QStringLiteral("The video engine is not available."));
        return;
    }
    if (url.isEmpty()) {
        const char* args[] = {"stop", nullptr};
        MpvLibrary::commandAsync(mpv_, 0, args);
        return;
    }
    if (!isPlayableAddress(url)) {
        fail(QStringLiteral("Unsupported video address."));
        return;
    }
    if (!url.isLocalFile()) {
        // Told before each remote load: the file may have gone with a cleared folder since.
        const QByteArray authorities = authoritiesFile();
        const char* path = authorities.constData();
        MpvLibrary::setPropertyAsync(mpv_, 0, "tls-ca-file", MPV_FORMAT_STRING, &path);
    }
    const QByteArray target = url.isLocalFile() ? QFile::encodeName(url.toLocalFile()) : url.toEncoded();
    const char* args[] = {"loadfile", target.constData(), "replace", nullptr};
    if (const int result = MpvLibrary::commandAsync(mpv_, loadRequest_, args); result < 0)
        fail(QString::fromUtf8(MpvLibrary::errorString(result)));
}

void VideoPlayer::setPaused(bool paused)
{
    if (paused_ == paused)
        return;
    paused_ = paused;
    if (mpv_) {
        int flag = paused ? 1 : 0;
        MpvLibrary::setPropertyAsync(mpv_, 0, "pause", MPV_FORMAT_FLAG, &flag);
    }
    Q_EMIT pausedChanged(paused_);
}

void VideoPlayer::setTargetSize(QSize size, qreal devicePixelRatio)
{
    devicePixelRatio_ = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    targetPixels_ = (QSizeF(size) * devicePixelRatio_).toSize();
    if (!renderThread_)
        return;
    renderThread_->setTargetSize(targetPixels_);
}

void VideoPlayer::onWakeup(void* self)
{
    // Called on one of mpv's threads: no mpv calls here, only one queued drain per burst.
    auto* player = static_cast<VideoPlayer*>(self);
    if (!player->drainPosted_.exchange(true))
        QMetaObject::invokeMethod(player, &VideoPlayer::drainEvents, Qt::QueuedConnection);
}

void VideoPlayer::drainEvents()
{
    drainPosted_ = false;
    const QPointer<VideoPlayer> alive(this);
    while (alive && mpv_) {
        const mpv_event* event = MpvLibrary::waitEvent(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE)
            return;
        handleEvent(*event);
    }
}

void VideoPlayer::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* message = static_cast<const mpv_event_log_message*>(event.data);
        logLine(message->log_level <= MPV_LOG_LEVEL_ERROR ? QStringLiteral("❌") : QStringLiteral("⚠️"), kLogType,
                QString::fromUtf8(message->prefix) + QStringLiteral(": ") + QString::fromUtf8(message->text).trimmed());
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata != loadRequest_)
            break;
        if (event.error < 0) {
            Q_EMIT error(failureText(QString::fromUtf8(MpvLibrary::errorString(event.error))));
            break;
        }
        // loadfile answers with the playlist entry it made; later file events name that entry.
        const auto* result = static_cast<const mpv_node*>(event.data);
        if (result && result->format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < result->u.list->num; ++i) {
                const mpv_node& value = result->u.list->values[i];
                if (qstrcmp(result->u.list->keys[i], "playlist_entry_id") == 0 && value.format == MPV_FORMAT_INT64)
                    entryId_ = value.u.int64;
            }
        }
        break;
    }
    case MPV_EVENT_START_FILE:
        startedEntryId_ = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED:
        fileLoaded_ = entryId_ >= 0 && startedEntryId_ == entryId_;
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->reason == MPV_END_FILE_REASON_ERROR && end->playlist_entry_id == entryId_)
            Q_EMIT error(failureText(QString::fromUtf8(MpvLibrary::errorString(end->error))));
        break;
    }
    default:
        break;
    }
}

void VideoPlayer::takeFrame()
{
    bool decoded = false;
    if (!renderThread_ || !renderThread_->takeFrame(displayed_, decoded))
        return;
    frame_ = displayed_->image(devicePixelRatio_);
    if (decoded)
        ++frameCount_;
    const QPointer<VideoPlayer> alive(this);
    Q_EMIT frameReady();
    if (alive && decoded && fileLoaded_ && !ready_) {
        ready_ = true;
        Q_EMIT ready();
    }
}

void VideoPlayer::fail(const QString& reason)
{
    // Reported on a later turn, like every other outcome of load(), and dropped when another
    // load() came first.
    QMetaObject::invokeMethod(
        this,
        [this, reason, request = loadRequest_] {
            if (request == loadRequest_)
                Q_EMIT error(failureText(reason));
        },
        Qt::QueuedConnection);
}

QString VideoPlayer::failureText(const QString& reason) const
{
    return QStringLiteral("Could not play ") + url_.toDisplayString() + QStringLiteral(": ") + reason;
}
