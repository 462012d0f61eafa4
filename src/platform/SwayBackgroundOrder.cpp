#include "platform/SwayBackgroundOrder.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int kSceneGraphVersion = 108;

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

// sway reads a quoted argument up to the next quote.
QString quoted(const QString& argument)
{
    return QLatin1Char('"') + argument + QLatin1Char('"');
}
} // namespace

SwayBackgroundOrder::SwayBackgroundOrder(SwayIpc ipc, QObject* parent) : QObject(parent), ipc_(std::move(ipc)) {}

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
    const qint64 ourStart = startTicks(QStringLiteral("self"));
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
        found.append(Client{arguments.mid(1), bySway, startTicks(pid) <= ourStart});
    }
    return found;
}

std::optional<QString> SwayBackgroundOrder::restartCommand(const QStringList& arguments)
{
    // sway gives each output's background as "-o NAME -i FILE -m MODE [-c FALLBACK]" or "-o NAME -c COLOUR".
    QString output, image, mode, colour;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        const QString& option = arguments[i];
        const QString& value = arguments[i + 1];
        if (option == QLatin1String("-o") && !output.isEmpty())
            break;
        if (value.contains(QLatin1Char('"')))
            return std::nullopt;
        if (option == QLatin1String("-o"))
            output = value;
        else if (option == QLatin1String("-i"))
            image = value;
        else if (option == QLatin1String("-m"))
            mode = value;
        else if (option == QLatin1String("-c"))
            colour = value;
        else
            return std::nullopt;
    }
    if (output.isEmpty())
        return std::nullopt;
    const QString head = QStringLiteral("output ") + quoted(output) + QStringLiteral(" bg ");
    if (!image.isEmpty() && !mode.isEmpty())
        return head + quoted(image) + QLatin1Char(' ') + mode + (colour.isEmpty() ? QString() : QLatin1Char(' ') + colour);
    if (image.isEmpty() && !colour.isEmpty())
        return head + colour + QStringLiteral(" solid_color");
    return std::nullopt;
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
        if (command && ipc_.runCommand(*command))
            return;
        refused_ = true;
        return;
    }
}

std::optional<QString> SwayBackgroundOrder::obstacle() const
{
    if (!drawsOldestOnTop())
        return std::nullopt;
    for (const Client& client : clients()) {
        if (!client.startedBySway && client.startedFirst)
            return tr("A wallpaper program started before Quorvelle (swaybg) covers the live wallpaper: sway draws the "
                      "background it got first on top. Set the picture with sway's own \"output * bg\" line instead of "
                      "an \"exec swaybg\" line in the sway configuration, then log in again.");
        if (client.startedBySway && (refused_ || !restartCommand(client.arguments)))
            return tr("sway's own background (the \"output * bg\" line of the sway configuration) covers the live "
                      "wallpaper. Remove that line and run \"swaymsg reload\" to see the video.");
    }
    return std::nullopt;
}
