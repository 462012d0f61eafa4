#pragma once

#include <QWidget>

#include <functional>

// A page that makes its content the first time it is shown, so a tab that is never visited
// costs nothing at start (no services created, no request sent). The content fills the page.
// GUI thread.
class LazyPage : public QWidget {
    Q_OBJECT

public:
    explicit LazyPage(std::function<QWidget*()> make, QWidget* parent = nullptr);

    // The content, once made.
    QWidget* content() const { return content_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<QWidget*()> make_;
    QWidget* content_ = nullptr;
};
