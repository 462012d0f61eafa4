#include "platform/X11ConnectionLoss.h"

#include "foundation/Log.h"

#include <QCoreApplication>
#include <QThread>

namespace {
X11ConnectionLoss* watching = nullptr;
} // namespace

X11ConnectionLoss::X11ConnectionLoss(QObject* parent) : QObject(parent)
{
    Q_ASSERT(!watching);
    watching = this;
    previous_ = qInstallMessageHandler(&X11ConnectionLoss::watchQtMessages);
}

X11ConnectionLoss::~X11ConnectionLoss()
{
    qInstallMessageHandler(previous_);
    watching = nullptr;
}

bool X11ConnectionLoss::isLoss(const QString& message) { return message.startsWith(QLatin1String("The X11 connection broke")); }

void X11ConnectionLoss::watchQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Installed only while one watches; the handler before it (Qt's own at least) still says
    // every message.
    X11ConnectionLoss* self = watching;
    self->previous_(type, context, message);
    if (!self->told_ && isLoss(message) && qApp && QThread::currentThread() == qApp->thread()) {
        self->told_ = true;
        logLine(QStringLiteral("❌"), QStringLiteral("X11"), QStringLiteral("Lost the connection to the X server; quitting"));
        Q_EMIT self->lost();
    }
}
