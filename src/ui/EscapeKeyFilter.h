#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

// The application's one handler of the Escape key: views that close on Escape (full-screen pages,
// the search overlay, sheets) add themselves while they are on screen, and a press runs the
// newest one that is visible in the window the key went to, and goes no further. While a popup
// or a dialog is open the filter stands aside: Escape is theirs. GUI thread only.
class EscapeKeyFilter : public QObject {
    Q_OBJECT
public:
    // Installs itself on the application.
    explicit EscapeKeyFilter(QObject* parent = nullptr);
    ~EscapeKeyFilter() override;
    static EscapeKeyFilter& shared();

    // `handler` answers Escape for `owner` until remove(owner) or the owner's end; adding an owner
    // again makes it the newest.
    void add(QObject* owner, std::function<void()> handler);
    void remove(QObject* owner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        QPointer<QObject> owner;
        std::function<void()> handler;
    };

    QList<Entry> entries_;
};
