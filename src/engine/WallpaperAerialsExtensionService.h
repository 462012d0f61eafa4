#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>

#include <functional>

// Restarts the lock-screen wallpaper extension so that it reads the changed manifest and files
// again: every process of the current user whose name is exactly the extension's gets SIGTERM
// (SIGKILL when that fails), then the service waits half a second for the system to notice; the
// extension itself is started again by whoever runs it. The process name is configurable, so a
// test can stand a process of its own in for the extension. GUI thread; the search and the wait
// are awaited, never blocking the event loop.
class WallpaperAerialsExtensionService : public QObject {
    Q_OBJECT

public:
    static inline const QString kProcessName = QStringLiteral("WallpaperAerialsExtension");
    static constexpr int kSettleDelayMs = 500;

    // Sends a signal to a process; 0 when delivered, else the error number (kill(2) by default).
    using SignalSender = std::function<int(qint32 processId, int signal)>;

    explicit WallpaperAerialsExtensionService(QObject* parent = nullptr);
    explicit WallpaperAerialsExtensionService(QString processName, QObject* parent = nullptr);

    static WallpaperAerialsExtensionService& shared();

    const QString& processName() const { return processName_; }

    // Ends every running extension process. None running is no failure. A process that could be
    // neither terminated nor killed fails the restart with ExtensionRestartError (killFailed),
    // after the remaining processes were still signalled.
    QCoro::Task<> restartExtension();
    // The extension's process identifiers, in the order the search tool lists them; empty when
    // there are none or the search cannot run.
    QCoro::Task<QList<qint32>> findProcessIDs();

    // Tests: a stand-in for kill(2).
    void setSignalSender(SignalSender sender) { sendSignal_ = std::move(sender); }

    // The identifiers in the search tool's output, one per line; lines that are not a number,
    // and numbers that name no single process (0 and below), are skipped.
    static QList<qint32> parseProcessIDs(const QByteArray& output);

private:
    QString processName_;
    SignalSender sendSignal_;
};
