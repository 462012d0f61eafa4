#pragma once

#include "platform/DesktopPicture.h"

#include <QList>
#include <QSet>

// A desktop that records every picture it is given. Install with
// Shared<DesktopPicture>::Override; refuse(name) makes the display of that name fail.
class FakeDesktopPicture : public DesktopPicture {
public:
    struct Call {
        QString imagePath;
        QString screenName;
    };

    QCoro::Task<> setPicture(QString imagePath, ScreenInfo screen) override;

    void refuse(const QString& screenName) { refused_.insert(screenName); }
    const QList<Call>& calls() const { return calls_; }

private:
    QList<Call> calls_;
    QSet<QString> refused_;
};
