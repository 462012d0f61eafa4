#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

// Sheets of the main window: a dimmed layer over the whole window with the sheet centred on it at
// its own size. While a sheet is up nothing beneath it takes a click or the keyboard focus, and
// Escape dismisses it. A sheet may present another on top; dismissing shows the one below again.
// A sheet whose size changes is centred again. A sheet taller than the window keeps its height
// and scrolls under the wheel (and to the control that takes the focus) rather than being squeezed
// until its text is clipped. Dismissed sheets are destroyed. GUI thread only; a child of the window
// it covers.
class SheetHost : public QWidget {
    Q_OBJECT
public:
    explicit SheetHost(QWidget* window);
    ~SheetHost() override;

    // Takes ownership.
    void present(QWidget* sheet);
    // Dismisses the sheet on top; nothing without one.
    void dismiss();
    QWidget* sheet() const;
    int depth() const { return int(sheets_.size()); }
    // Whether a sheet is up over `window`: Escape is the sheet's then, not the page's beneath.
    static bool isSheetOpenIn(const QWidget* window);

Q_SIGNALS:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutSheet();
    void keepFocusInside(QWidget* now);
    void showTop();
    void scrollBy(int pixels);

    QList<QPointer<QWidget>> sheets_;
    // How far a sheet taller than the window is scrolled up, in pixels.
    int scrolled_ = 0;
};
