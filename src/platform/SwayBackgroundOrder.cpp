#include "platform/SwayBackgroundOrder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <ctime>

#include <unistd.h>

namespace {
constexpr int kSceneGraphVersion = 108;
// How often a covering picture is looked for again: the user may end it without telling us.
constexpr int kRecheckMs = 3000;

QByteArray readProcFile(const QString& pid, const char* name)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid, QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// When the process started, in clock ticks since boot (the 22nd field of its stat, counted after
// the name in parentheses, which may hold spaces).
qint64 startTicks(const QString& pid)
{
    const QByteArray stat = readProcFile(pid, "stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTimeAfterName = 19;
    return fields.size() > kStartTimeAfterName ? fields[kStartTimeAfterName].toLongLong() : 0;
}

// Now, in the clock the kernel gives processes' start times in.
qint64 ticksNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const qint64 perSecond = ::sysconf(_SC_CLK_TCK);
    return qint64(now.tv_sec) * perSecond + qint64(now.tv_nsec) * perSecond / 1'000'000'000;
}

// One output's background as swaybg is given it: "-o NAME -i FILE -m MODE [-c FALLBACK]" or
// "-o NAME -c COLOUR".
struct OutputBackground {
    QString output;
    QString image;
    QString mode;
    QString colour;
};

// Only what sway itself writes goes unquoted into a command: a word that could end it early never does.
bool isMode(const QString& mode)
{
    static const QStringList modes{QStringLiteral("stretch"), QStringLiteral("fill"), QStringLiteral("fit"),
                                   QStringLiteral("center"), QStringLiteral("tile")};
    return modes.contains(mode);
}

bool isColour(const QString& colour)
{
    static const QRegularExpression hex(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    return hex.match(colour).hasMatch();
}

// sway reads a quoted argument up to the next quote.
QString quoted(const QString& argument)
{
    return QLatin1Char('"') + argument + QLatin1Char('"');
}
} // namespace

SwayBackgroundOrder::SwayBackgroundOrder(SwayIpc ipc, QObject* parent)
    : QObject(parent), ipc_(std::move(ipc)), recheck_(new QTimer(this))
{
    recheck_->setInterval(kRecheckMs);
    connect(recheck_, &QTimer::timeout, this, &SwayBackgroundOrder::updateCovered);
}

bool SwayBackgroundOrder::drawsOldestOnTop() const
{
    if (!ipc_.isAvailable())
        return false;
    if (!version_)
        version_ = ipc_.version().value_or(kSceneGraphVersion);
    return *version_ < kSceneGraphVersion;
}

QList<SwayBackgroundOrder::Client> SwayBackgroundOrder::clients() const
{
    QList<Client> found;
    const QByteArray session = "SWAYSOCK=" + ipc_.socketPath().toUtf8();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : pids) {
        if (!pid.front().isDigit() || readProcFile(pid, "comm") != "swaybg\n")
            continue;
        // Another session's swaybg, or one this user may not read, draws nothing here.
        const QList<QByteArray> environment = readProcFile(pid, "environ").split('\0');
        if (!environment.contains(session))
            continue;
        QStringList arguments;
        for (const QByteArray& argument : readProcFile(pid, "cmdline").split('\0'))
            arguments << QString::fromLocal8Bit(argument);
        // The list ends with an empty piece after the last argument's end.
        if (!arguments.isEmpty() && arguments.back().isEmpty())
            arguments.removeLast();
        const bool bySway = std::any_of(environment.cbegin(), environment.cend(),
                                        [](const QByteArray& entry) { return entry.startsWith("WAYLAND_SOCKET="); });
        found.append(Client{arguments.mid(1), bySway, startTicks(pid)});
    }
    return found;
}

std::optional<QString> SwayBackgroundOrder::restartCommand(const QStringList& arguments)
{
    QList<OutputBackground> backgrounds;
    for (qsizetype i = 0; i < arguments.size(); i += 2) {
        if (i + 1 == arguments.size())
            return std::nullopt;
        const QString& option = arguments[i];
        const QString& value = arguments[i + 1];
        if (value.contains(QLatin1Char('"')))
            return std::nullopt;
        if (option == QLatin1String("-o")) {
            backgrounds.append(OutputBackground{value, {}, {}, {}});
            continue;
        }
        if (backgrounds.isEmpty())
            return std::nullopt;
        OutputBackground& background = backgrounds.back();
        if (option == QLatin1String("-i"))
            background.image = value;
        else if (option == QLatin1String("-m"))
            background.mode = value;
        else if (option == QLatin1String("-c"))
            background.colour = value;
        else
            return std::nullopt;
    }
    if (backgrounds.isEmpty())
        return std::nullopt;
    QStringList commands;
    for (const OutputBackground& background : backgrounds) {
        const bool fallbackFits = background.colour.isEmpty() || isColour(background.colour);
        const QString head = QStringLiteral("output ") + quoted(background.output) + QStringLiteral(" bg ");
        if (!background.image.isEmpty() && isMode(background.mode) && fallbackFits)
            commands << head + quoted(background.image) + QLatin1Char(' ') + background.mode
                    + (background.colour.isEmpty() ? QString() : QLatin1Char(' ') + background.colour);
        else if (background.image.isEmpty() && background.mode.isEmpty() && isColour(background.colour))
            commands << head + background.colour + QStringLiteral(" solid_color");
        else
            return std::nullopt;
    }
    // Any background command starts swaybg again with every output's settings. A named output's
    // own changes nothing when said again; the wildcard's is copied by sway into every output's
    // settings, over a picture of that output's own, so it is said only when it is the one there is.
    const auto named = std::find_if(backgrounds.cbegin(), backgrounds.cend(),
                                    [](const OutputBackground& background) { return background.output != QLatin1String("*"); });
    return named != backgrounds.cend() ? commands[named - backgrounds.cbegin()] : commands.front();
}

void SwayBackgroundOrder::surfaceMade()
{
    newestSurfaceTicks_ = ticksNow();
}

void SwayBackgroundOrder::surfaceShown()
{
    if (raisePending_ || !drawsOldestOnTop())
        return;
    raisePending_ = true;
    QTimer::singleShot(0, this, &SwayBackgroundOrder::raiseOverBackground);
}

void SwayBackgroundOrder::raiseOverBackground()
{
    raisePending_ = false;
    for (const Client& client : clients()) {
        if (!client.startedBySway)
            continue;
        const std::optional<QString> command = restartCommand(client.arguments);
        refused_ = !command || !ipc_.runCommand(*command);
        break;
    }
    updateCovered();
}

void SwayBackgroundOrder::updateCovered()
{
    const bool covered = obstacle().has_value();
    if (covered)
        recheck_->start();
    else
        recheck_->stop();
    if (covered == covered_)
        return;
    covered_ = covered;
    Q_EMIT coveredChanged(covered_);
}

std::optional<QString> SwayBackgroundOrder::obstacle() const
{
    if (!drawsOldestOnTop())
        return std::nullopt;
    // Before our first surface is made, the one about to be made is the newest.
    const qint64 newest = newestSurfaceTicks_ != 0 ? newestSurfaceTicks_ : ticksNow();
    for (const Client& client : clients()) {
        // Made after ours, its picture is drawn below them.
        if (client.startTicks > newest)
            continue;
        if (!client.startedBySway)
            return tr("A wallpaper program started before Quorvelle (swaybg) covers the live wallpaper: sway draws the "
                      "background it got first on top. Set the picture with sway's own \"output * bg\" line instead of "
                      "an \"exec swaybg\" line in the sway configuration, then log in again.");
        if (refused_ || !restartCommand(client.arguments))
            return tr("sway's own background (the \"output … bg\" lines of the sway configuration) covers the live "
                      "wallpaper. Remove those lines and run \"swaymsg reload\" to see the video.");
    }
    return std::nullopt;
}
