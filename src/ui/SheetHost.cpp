#include "ui/SheetHost.h"

#include "ui/EscapeKeyFilter.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace {
const QColor kDim(0, 0, 0, 102);
}

SheetHost::SheetHost(QWidget* window) : QWidget(window)
{
    hide();
    window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { keepFocusInside(now); });
}

SheetHost::~SheetHost()
{
    // Deleting the sheets moves the focus: no longer this host's business once it is going.
    disconnect(qApp, nullptr, this, nullptr);
    EscapeKeyFilter::shared().remove(this);
}

QWidget* SheetHost::sheet() const
{
    return sheets_.isEmpty() ? nullptr : sheets_.last().data();
}

bool SheetHost::isSheetOpenIn(const QWidget* window)
{
    const QList<SheetHost*> hosts = window->findChildren<SheetHost*>();
    return std::any_of(hosts.begin(), hosts.end(), [](const SheetHost* host) { return host->isVisible() && host->depth() > 0; });
}

void SheetHost::present(QWidget* sheet)
{
    if (!sheet || sheets_.contains(sheet))
        return;
    if (QWidget* below = this->sheet())
        below->hide();
    sheet->setParent(this);
    sheet->installEventFilter(this);
    sheets_.append(sheet);
    EscapeKeyFilter::shared().add(this, [this] { dismiss(); });
    showTop();
}

void SheetHost::dismiss()
{
    if (sheets_.isEmpty())
        return;
    QPointer<QWidget> leaving = sheets_.takeLast();
    if (leaving) {
        leaving->hide();
        // Later: the sheet's own button may have asked for this.
        leaving->deleteLater();
    }
    sheets_.removeAll(nullptr);
    if (sheets_.isEmpty()) {
        EscapeKeyFilter::shared().remove(this);
        hide();
    } else {
        showTop();
    }
    Q_EMIT dismissed();
}

void SheetHost::showTop()
{
    QWidget* top = sheet();
    if (!top)
        return;
    scrolled_ = 0;
    layoutSheet();
    show();
    raise();
    top->show();
    if (!top->isAncestorOf(QApplication::focusWidget()))
        top->setFocus(Qt::OtherFocusReason);
}

void SheetHost::layoutSheet()
{
    if (QWidget* window = parentWidget())
        setGeometry(window->rect());
    QWidget* top = sheet();
    if (!top)
        return;
    const QSize wanted = top->sizeHint().expandedTo(top->minimumSize());
    const int sheetWidth = std::min(wanted.width(), width());
    const int sheetHeight = top->hasHeightForWidth() ? std::max(wanted.height(), top->heightForWidth(sheetWidth)) : wanted.height();
    const int overflow = std::max(0, sheetHeight - height());
    scrolled_ = std::clamp(scrolled_, 0, overflow);
    const int y = overflow > 0 ? -scrolled_ : (height() - sheetHeight) / 2;
    top->setGeometry(QRect(QPoint((width() - sheetWidth) / 2, y), QSize(sheetWidth, sheetHeight)));
}

void SheetHost::scrollBy(int pixels)
{
    // Kept within the sheet's ends by the layout.
    scrolled_ += pixels;
    layoutSheet();
}

void SheetHost::keepFocusInside(QWidget* now)
{
    QWidget* top = sheet();
    if (!top || !isVisible() || !now || now->window() != window())
        return;
    // Tab or a click must not reach the page beneath a modal sheet.
    if (!top->isAncestorOf(now) && now != top) {
        top->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (now == top)
        return;
    // A sheet taller than the window brings the control Tab reached into view, its top first.
    const QRect at(now->mapTo(this, QPoint(0, 0)), now->size());
    if (at.top() < 0)
        scrollBy(at.top());
    else if (at.bottom() >= height())
        scrollBy(std::min(at.top(), at.bottom() + 1 - height()));
}

void SheetHost::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), kDim);
}

bool SheetHost::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // Taken here: ignored, they would travel on to the window beneath.
        event->accept();
        return true;
    case QEvent::Wheel: {
        // A wheel the sheet left (nothing in it scrolls) moves a sheet taller than the window.
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int pixels = wheel->pixelDelta().isNull() ? wheel->angleDelta().y() / 8 * 3 : wheel->pixelDelta().y();
        if (sheet())
            scrollBy(-pixels);
        event->accept();
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

bool SheetHost::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && !sheets_.isEmpty())
        layoutSheet();
    // A sheet whose content changed its size (a field that appears) is placed again.
    if (watched == sheet() && event->type() == QEvent::LayoutRequest)
        layoutSheet();
    return QWidget::eventFilter(watched, event);
}
