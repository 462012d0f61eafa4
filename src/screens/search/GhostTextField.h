#pragma once

#include <QLineEdit>

#include <functional>

// A frameless, transparent text field that draws a completion (the ghost suffix) in faint white
// right after the typed text, and offers the Tab key to its owner before Tab moves the focus.
class GhostTextField : public QLineEdit {
    Q_OBJECT

public:
    // Answers whether Tab was taken; a Tab not taken moves the focus as usual.
    using TabHandler = std::function<bool()>;

    explicit GhostTextField(QWidget* parent = nullptr);

    const QString& ghostSuffix() const { return ghost_; }
    void setGhostSuffix(const QString& suffix);
    void setTabHandler(TabHandler handler) { tabHandler_ = std::move(handler); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString ghost_;
    TabHandler tabHandler_;
};
