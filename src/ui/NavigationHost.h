#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QStackedLayout;

// The page stack of one tab: a root page and the pages pushed on top of it (a category, the
// full-screen view), only the top one shown. Pages that are AppearanceAware hear appeared() when
// they become the shown page of a shown host and disappeared() when they stop being it (covered,
// popped, or the host taken off screen). The host owns its pages; a popped page is destroyed
// after it disappeared. GUI thread only.
class NavigationHost : public QWidget {
    Q_OBJECT
public:
    explicit NavigationHost(QWidget* root, QWidget* parent = nullptr);
    ~NavigationHost() override;

    void push(QWidget* page);
    // Does nothing at the root.
    void pop();
    void popToRoot();
    // Pops `page` and every page above it; nothing when it is the root or not on the stack.
    void popThrough(QWidget* page);

    int depth() const { return int(pages_.size()); }
    QWidget* currentPage() const;

Q_SIGNALS:
    void currentPageChanged(QWidget* page);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setShownPage(QWidget* page);
    void popTo(int depth);

    QStackedLayout* stack_;
    QList<QPointer<QWidget>> pages_;
    // The page that last heard appeared(), until it hears disappeared().
    QPointer<QWidget> appearedPage_;
};
