#pragma once

#include <QObject>

namespace signalry {

// Reports a navigation to `path` every time the view it watches (a widget or a window) is shown;
// nothing on hide. Owned by that view.
class TrackNavigationModifier : public QObject {
    Q_OBJECT

public:
    TrackNavigationModifier(QObject* view, QString path);

    const QString& path() const { return path_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString path_;
};

} // namespace signalry
