#include "screens/own/CustomWallpaperFormFootBar.h"

#include "foundation/Text.h"
#include "screens/browse/ProgressBarView.h"
#include "ui/DetailItem.h"
#include "ui/GlassBackground.h"
#include "ui/LabelButton.h"
#include "ui/Spinner.h"
#include "ui/Symbols.h"
#include "ui/TextLabel.h"
#include "ui/Theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr qreal kCardRadius = 34;
constexpr int kLabelWidth = 66;
constexpr int kCounterFrom = 40;
constexpr int kRowHeightEstimate = 44;
constexpr int kDropdownGap = 4;
constexpr qreal kLockedOpacity = 0.45; // the fields while an upload runs
const QMargins kCardPadding(24, 20, 24, 20);
const QMargins kFieldPadding(12, 8, 12, 8);

QColor white(qreal opacity) { return Theme::withOpacity(Qt::white, opacity); }
QFont chipFont() { return Theme::font(Theme::TextStyle::Caption); }

LabelButton::Look plainStyle(const QColor& text, qreal fontSize, const QString& symbol)
{
    LabelButton::Look style;
    style.font = Theme::systemFont(fontSize);
    style.textColor = text;
    style.fill = Qt::transparent;
    style.horizontalPadding = 0;
    style.verticalPadding = 0;
    style.symbol = symbol;
    style.symbolLeading = true;
    style.symbolSpacing = 4;
    style.symbolPointSize = 12;
    style.centred = false;
    return style;
}

LabelButton::Look fieldStyle(bool placeholder)
{
    LabelButton::Look style = LabelButton::Look::outlined(1.0, 0.1, 0.2, 14, QFont::Normal);
    style.textColor = placeholder ? white(0.6) : QColor(Qt::white);
    style.horizontalPadding = kFieldPadding.left();
    style.verticalPadding = kFieldPadding.top();
    style.centred = false;
    style.symbolAtEdge = true;
    style.symbolColor = white(0.7);
    style.symbolPointSize = 12;
    return style;
}

LabelButton::Look checkboxStyle(bool ticked)
{
    LabelButton::Look style = plainStyle(ticked ? QColor(Qt::white) : white(0.5), 14,
        ticked ? QStringLiteral("checkmark.square.fill") : QStringLiteral("square"));
    style.symbolPointSize = 14;
    style.symbolSpacing = 0;
    return style;
}

LabelButton::Look rowStyle(bool selected)
{
    LabelButton::Look style;
    style.font = Theme::systemFont(14);
    style.textColor = white(0.9);
    style.fill = selected ? white(0.15) : QColor(Qt::transparent);
    style.hoverFill = selected ? white(0.15) : white(0.06);
    style.cornerRadius = 0;
    style.horizontalPadding = 12;
    style.verticalPadding = 10;
    style.centred = false;
    style.symbolAtEdge = true;
    style.symbol = selected ? QStringLiteral("checkmark") : QString();
    style.symbolPointSize = 12;
    return style;
}
} // namespace

CustomWallpaperFormFootBar::CustomWallpaperFormFootBar(const WallpaperModel& wallpaper, const QList<CategoryItem>& categories,
    QWidget* parent)
    : QWidget(parent)
    , wallpaper_(wallpaper)
    , categories_(categories)
    , back_(new LabelButton(QStringLiteral("back"), plainStyle(white(0.5), 14, QStringLiteral("chevron.left")), this))
    , successBlock_(new QWidget(this))
    , form_(new QWidget(this))
    , dropdown_(new QWidget(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    connect(back_, &LabelButton::clicked, this, &CustomWallpaperFormFootBar::backClicked);

    auto* success = new QVBoxLayout(successBlock_);
    success->setContentsMargins(0, 12, 0, 12);
    success->setSpacing(6);
    auto* successTitle = new QHBoxLayout;
    successTitle->setSpacing(12);
    successTitle->addStretch();
    auto* tick = new QLabel(successBlock_);
    tick->setPixmap(QPixmap::fromImage(Symbols::image(QStringLiteral("checkmark.circle.fill"), QColor(48, 209, 88),
        Symbols::sizeForFont(20), devicePixelRatioF())));
    successTitle->addWidget(tick);
    successTitle->addWidget(new TextLabel(tr("Successfully submitted"), Theme::systemFont(16, QFont::DemiBold),
        Qt::white, successBlock_));
    successTitle->addStretch();
    success->addLayout(successTitle);
    // Wider than the card in most fonts: it wraps, centred, rather than losing its end.
    auto* thanks = new TextLabel(tr("Thanks for contributing! Review usually takes 3–5 days."), Theme::systemFont(12), white(0.5),
        successBlock_);
    thanks->setWordWrap(true);
    thanks->setAlignment(Qt::AlignHCenter);
    success->addWidget(thanks);

    createForm();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kCardPadding);
    column->setSpacing(16);
    auto* backRow = new QHBoxLayout;
    backRow->setContentsMargins(0, 0, 0, 4);
    backRow->addWidget(back_);
    backRow->addStretch();
    column->addLayout(backRow);
    column->addWidget(successBlock_);
    column->addWidget(form_);
    setFixedWidth(kContentWidth + kCardPadding.left() + kCardPadding.right());

    dropdown_->setAttribute(Qt::WA_TranslucentBackground);
    dropdown_->installEventFilter(this);
    dropdown_->hide();
    rebuildDropdown();
    refresh();
}

CustomWallpaperFormFootBar::~CustomWallpaperFormFootBar()
{
    // The open list may live in the window rather than in the card.
    if (dropdown_->parentWidget() != this)
        delete dropdown_;
}

void CustomWallpaperFormFootBar::createForm()
{
    auto* outer = new QVBoxLayout(form_);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(16);
    // What the user gives: locked (and dimmed) while the upload runs, kept for another try after
    // it failed.
    fields_ = new QWidget(form_);
    outer->addWidget(fields_);
    auto* column = new QVBoxLayout(fields_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(16);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(12);
    auto* titleLabel = new TextLabel(tr("Title"), Theme::systemFont(14, QFont::Medium), white(0.9), fields_);
    titleLabel->setFixedWidth(kLabelWidth);
    titleRow->addWidget(titleLabel);
    titleField_ = new QLineEdit(fields_);
    titleField_->setFrame(false);
    titleField_->setFont(Theme::systemFont(14));
    titleField_->setPlaceholderText(tr("Enter wallpaper title (4-50 characters)"));
    titleField_->setTextMargins(kFieldPadding);
    QPalette field = titleField_->palette();
    field.setColor(QPalette::Base, Qt::transparent);
    field.setColor(QPalette::Text, Qt::white);
    field.setColor(QPalette::PlaceholderText, white(0.45));
    titleField_->setPalette(field);
    titleField_->installEventFilter(this);
    connect(titleField_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        const QString accepted = titleAfterEdit(title_, typed);
        const int cursor = titleField_->cursorPosition();
        if (accepted != typed) {
            titleField_->setText(accepted);
            titleField_->setCursorPosition(accepted.size() == typed.size() ? cursor : std::min<int>(cursor, int(accepted.size())));
        }
        if (accepted != title_) {
            title_ = accepted;
            refresh();
            Q_EMIT titleEdited(title_);
        }
    });
    titleRow->addWidget(titleField_, 1);
    auto* titleSection = new QVBoxLayout;
    titleSection->setSpacing(4);
    titleSection->addLayout(titleRow);
    counter_ = new TextLabel(QString(), Theme::systemFont(11), white(0.5), fields_);
    counter_->setAlignment(Qt::AlignRight);
    counter_->setContentsMargins(kLabelWidth + 12, 0, 4, 0);
    titleSection->addWidget(counter_);
    column->addLayout(titleSection);

    auto* categoryRow = new QHBoxLayout;
    categoryRow->setSpacing(12);
    auto* categoryLabel = new TextLabel(tr("Category"), Theme::systemFont(14, QFont::Medium), white(0.9), fields_);
    categoryLabel->setFixedWidth(kLabelWidth);
    categoryRow->addWidget(categoryLabel);
    categoryButton_ = new LabelButton(tr("Select category"), fieldStyle(true), fields_);
    categoryButton_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(categoryButton_, &LabelButton::clicked, this, [this] { setDropdownOpen(!dropdownOpen_); });
    categoryRow->addWidget(categoryButton_, 1);
    column->addLayout(categoryRow);

    chips_ = new QWidget(fields_);
    chips_->setFixedHeight(QFontMetrics(chipFont()).height() + 10);
    chips_->installEventFilter(this);
    chips_->setVisible(!DetailItem::of(wallpaper_).isEmpty());
    column->addWidget(chips_);

    auto* rightsRow = new QHBoxLayout;
    rightsRow->setSpacing(8);
    rightsRow->setContentsMargins(0, 0, 0, 12);
    checkbox_ = new LabelButton(QString(), checkboxStyle(true), fields_);
    connect(checkbox_, &LabelButton::clicked, this, [this] { setAgreedToTerms(!agreedToTerms_); });
    rightsRow->addWidget(checkbox_, 0, Qt::AlignTop);
    auto* rights = new TextLabel(QStringLiteral("By uploading, you confirm this wallpaper is permitted for public use or you "
                                                "own the rights to it. Uploads cannot be reversed."),
        Theme::systemFont(11), white(0.5), fields_);
    rightsRow->addWidget(rights->wrapped(), 1);
    column->addLayout(rightsRow);

    failure_ = new TextLabel(QString(), Theme::systemFont(12), Theme::mix(Theme::systemRed(), Qt::white, 0.3), form_);
    outer->addWidget(failure_->wrapped());
    createProgress();
    outer->addWidget(progress_);

    buttonRow_ = new QWidget(form_);
    auto* buttons = new QHBoxLayout(buttonRow_);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(12);
    LabelButton::Look cancelStyle = LabelButton::Look::outlined(0.9, 0.1, 0.3, 14, QFont::Normal);
    cancelStyle.hoverFill = white(0.15);
    cancel_ = new LabelButton(tr("Cancel"), cancelStyle, buttonRow_);
    connect(cancel_, &LabelButton::clicked, this, &CustomWallpaperFormFootBar::cancelClicked);
    buttons->addWidget(cancel_);
    LabelButton::Look submitStyle;
    submitStyle.font = Theme::systemFont(14);
    submitStyle.textColor = Qt::black;
    submitStyle.fill = Qt::white;
    submitStyle.hoverFill = white(0.9);
    submitStyle.disabledFill = white(0.5);
    submitStyle.cornerRadius = 8;
    submitStyle.horizontalPadding = 16;
    submitStyle.verticalPadding = 8;
    submit_ = new LabelButton(tr("Submit"), submitStyle, buttonRow_);
    submit_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(submit_, &LabelButton::clicked, this, [this] {
        if (canSubmit())
            Q_EMIT submitClicked();
    });
    buttons->addWidget(submit_, 1);
    outer->addWidget(buttonRow_);
}

void CustomWallpaperFormFootBar::createProgress()
{
    // Where the buttons were: the step the upload is at, how far it got, and a bar.
    progress_ = new QWidget(form_);
    auto* column = new QVBoxLayout(progress_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(new Spinner(0.8, Qt::white, progress_));
    progressMessage_ = new TextLabel(QString(), Theme::systemFont(14, QFont::Medium), white(0.9), progress_);
    row->addWidget(progressMessage_, 1);
    progressPercent_ = new TextLabel(QStringLiteral("0%"), Theme::systemFont(14, QFont::Medium), white(0.6), progress_);
    progressPercent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressPercent_->setMinimumWidth(QFontMetrics(progressPercent_->font()).horizontalAdvance(QStringLiteral("100%")));
    row->addWidget(progressPercent_);
    column->addLayout(row);
    progressBar_ = new ProgressBarView(progress_);
    progressBar_->setFixedHeight(6);
    column->addWidget(progressBar_);
}

QString CustomWallpaperFormFootBar::titleAfterEdit(const QString& previous, const QString& typed)
{
    // A title already too long (from the file name) must still shorten key by key.
    const qsizetype length = Text::graphemeCount(typed);
    if (length > kMaxTitleLength && length > Text::graphemeCount(previous))
        return previous;
    QStringList pieces = typed.split(QLatin1Char(' '));
    for (QString& piece : pieces) {
        if (!piece.isEmpty())
            piece = piece.left(1).toUpper() + piece.mid(1).toLower();
    }
    return pieces.join(QLatin1Char(' '));
}

bool CustomWallpaperFormFootBar::canSubmit(const QString& title, bool hasCategory, bool agreed, bool submitting)
{
    const qsizetype length = Text::graphemeCount(Text::trimmed(title));
    return length >= kMinTitleLength && length <= kMaxTitleLength && hasCategory && agreed && !submitting;
}

std::optional<QString> CustomWallpaperFormFootBar::counterText(const QString& title)
{
    const qsizetype length = Text::graphemeCount(Text::trimmed(title));
    if (length < kCounterFrom)
        return std::nullopt;
    return QStringLiteral("%1/%2").arg(length).arg(kMaxTitleLength);
}

bool CustomWallpaperFormFootBar::canSubmit() const
{
    return canSubmit(title_, selectedCategory_.has_value(), agreedToTerms_, submitting_);
}

std::optional<QString> CustomWallpaperFormFootBar::counterText() const { return counterText(title_); }

CustomWallpaperFormFootBar::Display CustomWallpaperFormFootBar::display() const
{
    if (successful_)
        return Display::Success;
    return submitting_ ? Display::Submitting : Display::Form;
}

void CustomWallpaperFormFootBar::setTitle(const QString& title)
{
    title_ = title;
    if (titleField_->text() != title)
        titleField_->setText(title);
    refresh();
}

void CustomWallpaperFormFootBar::setCategories(const QList<CategoryItem>& categories)
{
    categories_ = categories;
    rebuildDropdown();
}

void CustomWallpaperFormFootBar::setSubmitting(bool submitting)
{
    if (submitting && !submitting_)
        setProgress(QStringLiteral("Submitting..."), 0);
    submitting_ = submitting;
    refresh();
}

void CustomWallpaperFormFootBar::setProgress(const QString& message, double progress)
{
    progressMessage_->setText(message);
    // The figure is the upload's own, the one its toast shows; the bar only eases towards it.
    progressPercent_->setText(QStringLiteral("%1%").arg(qRound(std::clamp(progress, 0.0, 1.0) * 100)));
    progressBar_->setProgress(progress);
}

void CustomWallpaperFormFootBar::setFailure(const QString& failure)
{
    failure_->setText(failure);
    refresh();
}

QString CustomWallpaperFormFootBar::failure() const { return failure_->text(); }
QString CustomWallpaperFormFootBar::progressMessage() const { return progressMessage_->text(); }
QString CustomWallpaperFormFootBar::progressPercent() const { return progressPercent_->text(); }

void CustomWallpaperFormFootBar::setSubmissionSuccessful(bool successful)
{
    successful_ = successful;
    refresh();
}

void CustomWallpaperFormFootBar::setAgreedToTerms(bool agreed)
{
    agreedToTerms_ = agreed;
    checkbox_->setLook(checkboxStyle(agreed));
    refresh();
}

QList<CategoryItem> CustomWallpaperFormFootBar::dropdownOrder() const
{
    QList<CategoryItem> order = categories_;
    std::reverse(order.begin(), order.end());
    return order;
}

void CustomWallpaperFormFootBar::chooseCategory(const CategoryItem& category)
{
    selectedCategory_ = category;
    rebuildDropdown();
    setDropdownOpen(false);
    refresh();
    Q_EMIT categoryChosen(category);
}

void CustomWallpaperFormFootBar::setDropdownOpen(bool open)
{
    dropdownOpen_ = open;
    if (open) {
        // Above everything of the window: the list opens upwards, past the card's top edge.
        dropdown_->setParent(window() == this ? this : window());
        placeDropdown();
        dropdown_->show();
        dropdown_->raise();
    } else {
        dropdown_->hide();
    }
    refresh();
}

void CustomWallpaperFormFootBar::rebuildDropdown()
{
    qDeleteAll(dropdown_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    delete dropdown_->layout();
    auto* rows = new QVBoxLayout(dropdown_);
    rows->setContentsMargins(0, 4, 0, 4);
    rows->setSpacing(1); // the divider between rows
    for (const CategoryItem& category : dropdownOrder()) {
        const bool selected = selectedCategory_ && selectedCategory_->id == category.id;
        auto* row = new LabelButton(category.categoryName, rowStyle(selected), dropdown_);
        row->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(row, &LabelButton::clicked, this, [this, category] { chooseCategory(category); });
        rows->addWidget(row);
    }
    if (dropdown_->isVisible())
        placeDropdown();
}

void CustomWallpaperFormFootBar::placeDropdown()
{
    const QWidget* space = dropdown_->parentWidget();
    const QRect button(categoryButton_->mapTo(space, QPoint(0, 0)), categoryButton_->size());
    const int height = dropdown_->layout()->sizeHint().height();
    const int width = button.width() > 0 ? button.width() : 200;
    const int estimated = int(categories_.size()) * kRowHeightEstimate + 8;
    const int y = button.isEmpty() ? 120 - estimated - kDropdownGap : button.top() - (height > 0 ? height : estimated) - kDropdownGap;
    dropdown_->setGeometry(button.isEmpty() ? 90 : button.left(), y, width, height);
}

void CustomWallpaperFormFootBar::refresh()
{
    const Display shown = display();
    back_->setVisible(shown != Display::Form);
    successBlock_->setVisible(shown == Display::Success);
    form_->setVisible(shown != Display::Success);
    fields_->setEnabled(shown == Display::Form);
    if (const bool locked = shown == Display::Submitting; locked != (fields_->graphicsEffect() != nullptr)) {
        QGraphicsOpacityEffect* fade = nullptr;
        if (locked) {
            fade = new QGraphicsOpacityEffect(fields_);
            fade->setOpacity(kLockedOpacity);
        }
        // Only while locked: a field drawn through the effect costs a pixmap on every blink.
        fields_->setGraphicsEffect(fade);
    }
    progress_->setVisible(shown == Display::Submitting);
    buttonRow_->setVisible(shown == Display::Form);
    failure_->setVisible(shown == Display::Form && !failure_->text().isEmpty());
    if (shown != Display::Form && dropdownOpen_)
        dropdown_->hide();
    else if (dropdownOpen_)
        dropdown_->show();
    cancel_->setEnabled(!submitting_);
    submit_->setEnabled(canSubmit());
    const std::optional<QString> counter = counterText();
    counter_->setVisible(counter.has_value());
    if (counter) {
        const qsizetype length = Text::graphemeCount(Text::trimmed(title_));
        const bool fits = length >= kMinTitleLength && length <= kMaxTitleLength;
        counter_->setColor(fits ? white(0.5) : Theme::withOpacity(Theme::systemRed(), 0.7));
        counter_->setText(*counter);
    }
    LabelButton::Look category = fieldStyle(!selectedCategory_);
    category.symbol = dropdownOpen_ ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down");
    categoryButton_->setLook(category);
    categoryButton_->setText(selectedCategory_ ? selectedCategory_->categoryName : tr("Select category"));
    fitHeight();
    update();
}

void CustomWallpaperFormFootBar::fitHeight()
{
    // The card is as tall as what it shows now, wrapped text included; the host lays it out by that.
    if (!layout())
        return;
    fields_->layout()->invalidate();
    form_->layout()->invalidate();
    layout()->invalidate();
    const int height = cardHeight();
    if (height == minimumHeight() && height == maximumHeight())
        return;
    setFixedHeight(height);
    Q_EMIT heightChanged();
}

void CustomWallpaperFormFootBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Rows hidden before the card was first shown still counted while it was measured then.
    fitHeight();
}

QRect CustomWallpaperFormFootBar::titleFieldFrame() const
{
    return QRect(titleField_->mapTo(this, QPoint(0, 0)), titleField_->size());
}

QSize CustomWallpaperFormFootBar::sizeHint() const { return {width(), cardHeight()}; }

int CustomWallpaperFormFootBar::cardHeight() const
{
    // The thank-you alone wraps no text, so the column then has no height for a width: its size
    // hint is the height (asking for the other gives -1, a card of no height).
    const QLayout* column = layout();
    return column->hasHeightForWidth() ? column->totalHeightForWidth(width()) : column->totalSizeHint().height();
}

void CustomWallpaperFormFootBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (dropdown_->isVisible())
        placeDropdown();
}

bool CustomWallpaperFormFootBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == titleField_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        update();
    if (event->type() != QEvent::Paint)
        return QWidget::eventFilter(watched, event);
    if (watched == chips_) {
        paintChips();
        return true;
    }
    if (watched == dropdown_) {
        QPainter painter(dropdown_);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(dropdown_->rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        const QPainterPath shape = GlassBackground::shape(box, 8);
        painter.fillPath(shape, QColor(34, 36, 40, 252));
        painter.setPen(QPen(white(0.35), 0.5));
        painter.drawPath(shape);
        // A divider under every row but the bottom one.
        const auto rows = dropdown_->findChildren<LabelButton*>(Qt::FindDirectChildrenOnly);
        painter.setPen(QPen(white(0.2), 1));
        for (qsizetype i = 0; i + 1 < rows.size(); ++i) {
            const int y = rows[i]->geometry().bottom() + 1;
            painter.drawLine(QPointF(0, y + 0.5), QPointF(dropdown_->width(), y + 0.5));
        }
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void CustomWallpaperFormFootBar::paintChips()
{
    // Symbol and text 4 apart, chips 12 apart, the row flush with the trailing edge.
    constexpr int kGap = 4;
    constexpr int kSpacing = 12;
    const QList<DetailItem> items = DetailItem::of(wallpaper_);
    const QFontMetrics metrics(chipFont());
    const int side = Symbols::sizeForFont(Theme::pixelSize(Theme::TextStyle::Caption));
    int x = chips_->width() + kSpacing;
    for (const DetailItem& item : items)
        x -= side + kGap + metrics.horizontalAdvance(item.text) + kSpacing;
    QPainter painter(chips_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(chipFont());
    const QColor color = white(0.8);
    painter.setPen(color);
    for (const DetailItem& item : items) {
        Symbols::paint(painter, QRectF(x, (metrics.height() - side) / 2.0, side, side), item.icon, color);
        x += side + kGap;
        const int width = metrics.horizontalAdvance(item.text);
        painter.drawText(QRect(x, 0, width + 1, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, item.text);
        x += width + kSpacing;
    }
}

void CustomWallpaperFormFootBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    const QPainterPath shape = GlassBackground::shape(card, kCardRadius);
    painter.fillPath(shape, QColor(34, 36, 40, 215));
    painter.setPen(QPen(white(0.35), 0.5));
    painter.drawPath(shape);
    if (form_->isVisible()) {
        painter.setOpacity(submitting_ ? kLockedOpacity : 1);
        const QRectF field = QRectF(titleFieldFrame()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath fieldShape = GlassBackground::shape(field, 8);
        painter.fillPath(fieldShape, white(0.1));
        painter.setPen(QPen(white(titleField_->hasFocus() ? 0.4 : 0.2), 1));
        painter.drawPath(fieldShape);
    }
}
