#pragma once

#include <QObject>
#include <QString>

// Whether the full-window search overlay is shown, and the query typed into it. The query
// outlives the overlay: hiding keeps it, so reopening shows it again (it is never stored on
// disk). toggle() and hide() take effect on a later turn of the event loop, in call order.
// GUI thread; one shared instance kept until exit.
class SearchOverlayService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isPresented READ isPresented WRITE setPresented NOTIFY isPresentedChanged)
    Q_PROPERTY(QString searchQuery READ searchQuery WRITE setSearchQuery NOTIFY searchQueryChanged)

public:
    explicit SearchOverlayService(QObject* parent = nullptr) : QObject(parent) {}

    static SearchOverlayService& shared();

    bool isPresented() const { return isPresented_; }
    void setPresented(bool presented);
    const QString& searchQuery() const { return searchQuery_; }
    void setSearchQuery(const QString& query);

    // Flips isPresented on a later turn; two calls in a row make two flips.
    void toggle();
    // Sets isPresented to false on a later turn.
    void hide();

Q_SIGNALS:
    void isPresentedChanged(bool presented);
    void searchQueryChanged(const QString& query);

private:
    bool isPresented_ = false;
    QString searchQuery_;
};
