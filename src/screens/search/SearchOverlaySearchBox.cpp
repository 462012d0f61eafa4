#include "screens/search/SearchOverlaySearchBox.h"

#include "backend/APIService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "foundation/Text.h"
#include "screens/search/GhostTextField.h"
#include "ui/FilterChipsRow.h"
#include "ui/GlassBackground.h"
#include "ui/Spinner.h"
#include "ui/SymbolButton.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <optional>

namespace {
constexpr qreal kCapsule = 999;
constexpr qreal kFieldPointSize = 24;
constexpr qreal kMagnifierPointSize = 22;
constexpr qreal kSpinnerScale = 0.45; // a small wheel at 0.9

// The text after its first `count` characters.
QString dropCharacters(const QString& text, qsizetype count) { return text.mid(Text::truncated(text, count).size()); }

QLabel* magnifier(QWidget* parent)
{
    auto* label = new QLabel(parent);
    const int side = Symbols::sizeForFont(kMagnifierPointSize);
    QImage symbol = Symbols::image(QStringLiteral("magnifyingglass"), Theme::withOpacity(Qt::white, 0.5), side,
        parent->devicePixelRatioF());
    label->setPixmap(QPixmap::fromImage(symbol));
    label->setFixedSize(side, side);
    return label;
}
} // namespace

SearchOverlaySearchBox::SearchOverlaySearchBox(APIService& api, QWidget* parent)
    : QWidget(parent), api_(api), field_(new GhostTextField), spinner_(new Spinner(kSpinnerScale)),
      clear_(new SymbolButton(SymbolButton::Look{QStringLiteral("xmark.circle.fill"), 20, Theme::withOpacity(Qt::white, 0.4)})),
      chipsRow_(new FilterChipsRow)
{
    setMaximumWidth(kMaxWidth);
    auto* bar = new GlassBackground(kCapsule);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(20, 16, 20, 16);
    row->setSpacing(12);
    row->addWidget(magnifier(this));
    field_->setFont(Theme::systemFont(kFieldPointSize));
    field_->setPlaceholderText(tr("Search Wallpapers"));
    field_->setTabHandler([this] { return acceptGhostSuffix(); });
    row->addWidget(field_, 1);
    row->addWidget(spinner_);
    row->addWidget(clear_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(bar);
    chipsRow_->setContentsMargins(2, 0, 2, 0);
    chipsRow_->hide();
    column->addWidget(chipsRow_);

    connect(field_, &QLineEdit::textChanged, this, &SearchOverlaySearchBox::handleTextChange);
    connect(clear_, &SymbolButton::clicked, this, &SearchOverlaySearchBox::clearSearch);
    // Queued: taking a chip refills the row, which deletes the chip whose click is still running.
    connect(chipsRow_, &FilterChipsRow::itemSelected, this, &SearchOverlaySearchBox::selectChip, Qt::QueuedConnection);
    updateAccessory();
}

SearchOverlaySearchBox::~SearchOverlaySearchBox() { request_.request_stop(); }

QString SearchOverlaySearchBox::text() const { return field_->text(); }

void SearchOverlaySearchBox::setText(const QString& text) { field_->setText(text); }

void SearchOverlaySearchBox::setInitialText(const QString& text)
{
    const QSignalBlocker quiet(field_);
    field_->setText(text);
    updateAccessory();
}

const QString& SearchOverlaySearchBox::ghostSuffix() const { return field_->ghostSuffix(); }

void SearchOverlaySearchBox::setFocusToken(int token)
{
    focusToken_ = token;
    if (isVisible()) {
        appliedFocusToken_ = token;
        field_->setFocus();
    }
}

void SearchOverlaySearchBox::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (focusToken_ == appliedFocusToken_)
        return;
    appliedFocusToken_ = focusToken_;
    runAfter(kFocusDelayMs, field_, [field = field_] { field->setFocus(); });
}

void SearchOverlaySearchBox::setLoading(bool loading)
{
    loading_ = loading;
    updateAccessory();
}

void SearchOverlaySearchBox::updateAccessory()
{
    // The wheel wins over the clear button.
    spinner_->setVisible(loading_);
    clear_->setVisible(!loading_ && !field_->text().isEmpty());
}

void SearchOverlaySearchBox::handleTextChange(const QString& text)
{
    updateAccessory();
    Q_EMIT textChanged(text);
    if (Text::trimmed(text).isEmpty()) {
        setAnswer({}, {});
        request_.request_stop();
        return;
    }
    fetchAutocomplete(text);
}

void SearchOverlaySearchBox::fetchAutocomplete(const QString& text)
{
    setAnswer({}, {});
    request_.request_stop();
    if (Text::trimmed(text).isEmpty())
        return;
    request_ = std::stop_source();
    fireAndForget(complete(this, text, request_.get_token()), QStringLiteral("AutoComplete"));
}

QCoro::Task<> SearchOverlaySearchBox::complete(QPointer<SearchOverlaySearchBox> self, QString typed, std::stop_token stop)
{
    AutoCompleteResult answer;
    std::optional<QString> failure;
    try {
        answer = co_await self->api_.autoComplete(typed, stop);
    } catch (const std::exception& error) {
        failure = describeError(error);
    }
    if (failure)
        logLine(QStringLiteral("⌨️"), QStringLiteral("AutoComplete"), QStringLiteral("Request failed: ") + *failure);
    // A cancelled or overtaken request, answered or failed, leaves the newer edit's answer alone.
    if (!self || stop.stop_requested() || self->text() != typed)
        co_return;
    if (failure)
        self->setAnswer({}, {});
    else
        self->applyAnswer(typed, answer);
}

void SearchOverlaySearchBox::applyAnswer(const QString& typed, const AutoCompleteResult& answer)
{
    const QString query = Text::trimmed(typed);
    QStringList chips;
    for (const QString& chip : answer.chips)
        if (chip.compare(query, Qt::CaseInsensitive) != 0)
            chips.append(chip);
    setAnswer(answer.suggestion ? computeGhostSuffix(typed, *answer.suggestion) : QString(), chips.mid(0, kMaxChips));
}

void SearchOverlaySearchBox::setAnswer(const QString& ghost, const QStringList& chips)
{
    field_->setGhostSuffix(ghost);
    chips_ = chips;
    chipsRow_->setItems(chips);
    chipsRow_->setVisible(!chips.isEmpty());
}

QString SearchOverlaySearchBox::computeGhostSuffix(const QString& typed, const QString& suggestion)
{
    const QString s = Text::trimmed(suggestion);
    if (typed.isEmpty() || s.isEmpty())
        return {};
    if (s.startsWith(typed, Qt::CaseInsensitive))
        return dropCharacters(s, Text::graphemeCount(typed));
    // Only a plain space separates words here, as typed.
    const qsizetype space = typed.lastIndexOf(u' ');
    if (space < 0)
        return {};
    const QString word = typed.mid(space + 1);
    if (word.isEmpty() || !s.startsWith(word, Qt::CaseInsensitive))
        return {};
    const qsizetype wordLength = Text::graphemeCount(word);
    if (wordLength >= Text::graphemeCount(s))
        return {};
    return dropCharacters(s, wordLength);
}

bool SearchOverlaySearchBox::acceptGhostSuffix()
{
    const QString ghost = field_->ghostSuffix();
    if (ghost.isEmpty())
        return false;
    const QString completed = field_->text() + ghost;
    setAnswer({}, {});
    field_->setText(completed);
    return true;
}

void SearchOverlaySearchBox::selectChip(const QString& chip)
{
    field_->setText(chip);
    setAnswer({}, {});
}

void SearchOverlaySearchBox::clearSearch()
{
    field_->setText(QString());
    setAnswer({}, {});
}
