#pragma once

#include <QObject>

// Whether the create-playlist popup is asked for: the create-playlist card shows it, the library
// screen presents the popup while the flag is true and hides it when the popup closes. Each
// request takes effect on a later turn of the event loop, in the order made, and every
// assignment is announced, also one that keeps the value; the views animate the change
// themselves (ease-out, 0.2 s). One shared instance on the GUI thread.
class CreatePlaylistPopupService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented NOTIFY isPresentedChanged)

public:
    explicit CreatePlaylistPopupService(QObject* parent = nullptr);

    static CreatePlaylistPopupService& shared();

    bool isPresented() const { return isPresented_; }

    void show();
    void hide();

signals:
    void isPresentedChanged(bool isPresented);

private:
    void present(bool presented);

    bool isPresented_ = false;
};
