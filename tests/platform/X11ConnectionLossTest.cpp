#include "platform/X11ConnectionLoss.h"

#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QStringList seen;
void remember(QtMsgType, const QMessageLogContext&, const QString& message) { seen.append(message); }

TEST(X11ConnectionLossTest, OnlyQtsWordOfTheBrokenConnectionIsTheLoss)
{
    const std::pair<const char*, bool> cases[] = {
        {"The X11 connection broke (error 1). Did the X11 server die?", true},
        {"The X11 connection broke: I/O error (code 1)", true},
        {"The Wayland connection broke. Did the Wayland compositor die?", false},
        {"QXcbConnection: XCB error: 3 (BadWindow)", false},
        {"", false},
    };
    for (const auto& [message, loss] : cases)
        EXPECT_EQ(X11ConnectionLoss::isLoss(QString::fromUtf8(message)), loss) << message;
}

// The loss is told once, on the GUI thread, before the message goes on to the handler that was
// there before; every other message only goes on.
TEST(X11ConnectionLossTest, TheLossIsToldOnceAndEveryMessageStillGoesOn)
{
    seen.clear();
    const QtMessageHandler before = qInstallMessageHandler(&remember);
    {
        X11ConnectionLoss loss;
        QSignalSpy lost(&loss, &X11ConnectionLoss::lost);
        qWarning("an ordinary warning");
        EXPECT_EQ(lost.count(), 0);
        // Said on another thread, it is not the GUI thread's loss to tell.
        QThread* other = QThread::create([] { qWarning("The X11 connection broke (error 1). Did the X11 server die?"); });
        other->start();
        other->wait();
        delete other;
        EXPECT_EQ(lost.count(), 0);
        qWarning("The X11 connection broke (error 1). Did the X11 server die?");
        qWarning("The X11 connection broke (error 1). Did the X11 server die?");
        EXPECT_EQ(lost.count(), 1);
    }
    qWarning("after");
    qInstallMessageHandler(before);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("an ordinary warning"), QStringLiteral("The X11 connection broke (error 1). Did the X11 server die?"),
        QStringLiteral("The X11 connection broke (error 1). Did the X11 server die?"),
        QStringLiteral("The X11 connection broke (error 1). Did the X11 server die?"), QStringLiteral("after")}));
}

} // namespace
