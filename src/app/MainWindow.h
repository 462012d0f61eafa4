#pragma once

#include <QWidget>

// The application's main window: fixed at MainWindowSize, dark, with an empty title, its whole
// area given to the root container that holds the root view, built when the window first shows. Closing it deletes it; the
// application keeps running in the tray, and showing the main window again builds a new one.
// GUI thread.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // The dark area the root view fills.
    QWidget* rootContainer() const { return rootContainer_; }

    // Applies the appearance, the size for the current main display and the title again.
    void configure();
    // The root view, once the window has been shown.
    QWidget* rootView() const { return rootView_; }

    void setVisible(bool visible) override;

private:
    QWidget* rootContainer_;
    QWidget* rootView_ = nullptr;
};
