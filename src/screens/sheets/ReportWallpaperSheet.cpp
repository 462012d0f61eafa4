#include "screens/sheets/ReportWallpaperSheet.h"

#include "backend/APIService.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "screens/sheets/ReportReasonRow.h"
#include "screens/sheets/ReportSubmitButton.h"
#include "ui/GlassBackground.h"
#include "ui/SheetHost.h"
#include "ui/SymbolButton.h"
#include "ui/Theme.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {
constexpr int kPadding = 20;
constexpr int kEditorHeight = 80;
constexpr int kEditorInset = 8;
constexpr int kEditorGap = 14;
constexpr qreal kEditorCorner = 8;

} // namespace

ReportWallpaperSheet::ReportWallpaperSheet(const WallpaperModel& wallpaper, std::function<void()> onDismiss, QWidget* parent)
    : ReportWallpaperSheet(wallpaper, std::move(onDismiss), APIService::shared(), parent)
{
}

ReportWallpaperSheet::ReportWallpaperSheet(const WallpaperModel& wallpaper, std::function<void()> onDismiss, APIService& api,
    QWidget* parent)
    : QWidget(parent), wallpaper_(wallpaper), onDismiss_(std::move(onDismiss)), api_(api), other_(new QPlainTextEdit),
      submit_(new ReportSubmitButton),
      close_(new SymbolButton(SymbolButton::Look{
          QStringLiteral("xmark"), 11, Theme::withOpacity(Qt::white, 0.6), Theme::withOpacity(Qt::white, 0.1), 24}))
{
    setFixedWidth(kWidth);
    setAutoFillBackground(false);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(new TextLabel(tr("Report the wallpaper"), Theme::systemFont(15, QFont::DemiBold), Qt::white));
    titles->addWidget((new TextLabel(wallpaper.category, Theme::systemFont(12), Theme::withOpacity(Qt::white, 0.5)))->elided());
    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 18);
    header->addLayout(titles, 1);
    header->addWidget(close_, 0, Qt::AlignVCenter);

    auto* reasons = new QVBoxLayout;
    reasons->setSpacing(10);
    reasons->setContentsMargins(0, 0, 0, 14);
    for (const ReportReason reason : ReportReasons::all()) {
        auto* row = new ReportReasonRow(reason);
        connect(row, &ReportReasonRow::clicked, this, [this, reason] { selectReason(reason); });
        reasons->addWidget(row);
        rows_.append(row);
    }

    other_->setFixedHeight(kEditorHeight);
    other_->setFrameShape(QFrame::NoFrame);
    other_->setFont(Theme::systemFont(13));
    other_->viewport()->setAutoFillBackground(false);
    QPalette colors = other_->palette();
    colors.setColor(QPalette::Base, Qt::transparent);
    colors.setColor(QPalette::Text, Qt::white);
    other_->setPalette(colors);
    other_->document()->setDocumentMargin(kEditorInset);
    other_->hide();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(0);
    column->addLayout(header);
    column->addLayout(reasons);
    column->addWidget(other_);
    editorGap_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    column->addItem(editorGap_);
    column->addWidget(submit_);

    connect(close_, &SymbolButton::clicked, this, [this] { onDismiss_(); });
    connect(submit_, &ReportSubmitButton::clicked, this, &ReportWallpaperSheet::submit);
    connect(other_, &QPlainTextEdit::textChanged, this, &ReportWallpaperSheet::refresh);
    refresh();
}

ReportWallpaperSheet* ReportWallpaperSheet::present(SheetHost& sheets, const WallpaperModel& wallpaper)
{
    auto* sheet = new ReportWallpaperSheet(wallpaper, {});
    // A second close (a quick double click) must not take down the sheet beneath.
    sheet->onDismiss_ = [host = QPointer(&sheets), sheet] {
        if (host && host->sheet() == sheet)
            host->dismiss();
    };
    sheets.present(sheet);
    return sheet;
}

QSize ReportWallpaperSheet::sizeHint() const { return {kWidth, heightForWidth(kWidth)}; }

QString ReportWallpaperSheet::otherText() const { return other_->toPlainText(); }

ReportReasonRow* ReportWallpaperSheet::row(ReportReason reason) const
{
    for (ReportReasonRow* row : rows_)
        if (row->reason() == reason)
            return row;
    return nullptr;
}

void ReportWallpaperSheet::selectReason(ReportReason reason)
{
    selected_ = reason;
    for (ReportReasonRow* row : std::as_const(rows_))
        row->setSelected(row->reason() == reason);
    const bool other = reason == ReportReason::Other;
    if (other != other_->isVisible()) {
        other_->setVisible(other);
        // The editor sits 14 above the button only while it is shown.
        editorGap_->changeSize(0, other ? kEditorGap : 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
        layout()->invalidate();
    }
    if (other)
        other_->setFocus();
    refresh();
}

bool ReportWallpaperSheet::canSubmit() const
{
    // A wallpaper without a key has nothing to report against.
    if (!selected_ || submitting_ || submitted_ || !wallpaper_.key)
        return false;
    return *selected_ != ReportReason::Other || !Text::trimmed(otherText()).isEmpty();
}

void ReportWallpaperSheet::submit()
{
    if (!canSubmit())
        return;
    submitting_ = true;
    failed_ = false;
    sinceSubmit_.start();
    refresh();
    api_.flagWallpaper(*wallpaper_.key, ReportReasons::remarks(*selected_, otherText()),
        [self = QPointer(this)](bool arrived) {
            if (self)
                self->reportArrived(arrived);
        });
}

void ReportWallpaperSheet::reportArrived(bool arrived)
{
    // The wheel turns for a moment at least, so a quick answer does not flash.
    const int wait = std::max<qint64>(0, kMinimumSpinMs - sinceSubmit_.elapsed());
    runAfter(wait, this, [this, arrived] {
        submitting_ = false;
        submitted_ = arrived;
        failed_ = !arrived;
        refresh();
        if (arrived)
            runAfter(kDismissAfterReportedMs, this, [this] { onDismiss_(); });
    });
}

void ReportWallpaperSheet::refresh()
{
    using State = ReportSubmitButton::State;
    submit_->setState(submitted_ ? State::submitted : submitting_ ? State::submitting : failed_ ? State::failed : State::idle);
    submit_->setEnabled(canSubmit());
}

void ReportWallpaperSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::appBackgroundColor());
    if (!other_->isVisible())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(other_->geometry()).adjusted(0.25, 0.25, -0.25, -0.25);
    const QPainterPath shape = GlassBackground::shape(box, kEditorCorner);
    painter.fillPath(shape, Theme::withOpacity(Qt::white, 0.06));
    painter.setPen(QPen(Theme::withOpacity(Qt::white, 0.12), 0.5));
    painter.drawPath(shape);
}
