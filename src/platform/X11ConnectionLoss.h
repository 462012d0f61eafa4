#pragma once

#include <QObject>

// Qt's X11 platform ends the process with exit(1) the moment it finds its connection to the X
// server broken (the server gone: an X11 logout, a crashed server), after one warning on the GUI
// thread and nothing else: no aboutToQuit, no return from the event loop. That warning is taken
// as the loss: lost() is told right there, so its listeners run the quit's steps that need no
// display (and may end the process themselves); otherwise it then ends as Qt ends it. At most
// one watches at a time; GUI thread.
class X11ConnectionLoss : public QObject {
    Q_OBJECT
public:
    explicit X11ConnectionLoss(QObject* parent = nullptr);
    ~X11ConnectionLoss() override;

    // Whether Qt said with `message` that its X11 connection broke.
    static bool isLoss(const QString& message);

Q_SIGNALS:
    // Told once, on the GUI thread, right before the process ends; listeners connect directly.
    void lost();

private:
    static void watchQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QtMessageHandler previous_ = nullptr;
    bool told_ = false;
};
