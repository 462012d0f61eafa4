#pragma once

#include "backend/AutoCompleteResult.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <stop_token>

class APIService;
class FilterChipsRow;
class GhostTextField;
class SymbolButton;
class Spinner;

// The search field of the search overlay, on a glass capsule: a magnifying glass, the field with
// its ghost completion (Tab accepts it), and a wheel while the overlay searches, else a clear
// button while there is text. Every edit of non-blank text asks the backend for a completion at
// once, cancelling the request before; up to three suggestion chips under the field replace the
// query when clicked. An answer is shown only while the field still holds the text it was asked
// for; a failed request that was cancelled or overtaken is only logged, so it never wipes the
// answer to a newer edit. GUI thread; made afresh each time the overlay opens.
class SearchOverlaySearchBox : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxWidth = 480;
    static constexpr int kMaxChips = 3;
    static constexpr int kFocusDelayMs = 100;

    explicit SearchOverlaySearchBox(APIService& api, QWidget* parent = nullptr);
    ~SearchOverlaySearchBox() override;

    QString text() const;
    // As if typed: runs the edit handling.
    void setText(const QString& text);
    // Shows the text without treating it as an edit (the query kept from an earlier opening).
    void setInitialText(const QString& text);

    // A token other than the last one applied asks for the keyboard focus.
    void setFocusToken(int token);
    void setLoading(bool loading);
    bool isLoading() const { return loading_; }

    const QString& ghostSuffix() const;
    const QStringList& chipSuggestions() const { return chips_; }
    // Tab: appends the ghost suffix; false when there is none (Tab then moves the focus).
    bool acceptGhostSuffix();
    void selectChip(const QString& chip);
    void clearSearch();

    GhostTextField* field() const { return field_; }
    FilterChipsRow* chipsRow() const { return chipsRow_; }
    Spinner* spinner() const { return spinner_; }

    // The rest of a suggestion after the typed text (T as typed, S trimmed), in S's own case:
    // S after T when S starts with T, else S after T's last word when S starts with that word
    // and is longer; empty otherwise. Case is ignored and lengths count characters.
    static QString computeGhostSuffix(const QString& typed, const QString& suggestion);

Q_SIGNALS:
    void textChanged(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void handleTextChange(const QString& text);
    void fetchAutocomplete(const QString& text);
    static QCoro::Task<> complete(QPointer<SearchOverlaySearchBox> self, QString typed, std::stop_token stop);
    void applyAnswer(const QString& typed, const AutoCompleteResult& answer);
    void setAnswer(const QString& ghost, const QStringList& chips);
    void updateAccessory();

    APIService& api_;
    GhostTextField* field_;
    Spinner* spinner_;
    SymbolButton* clear_;
    FilterChipsRow* chipsRow_;
    QStringList chips_;
    bool loading_ = false;
    int focusToken_ = -1;
    int appliedFocusToken_ = -1;
    std::stop_source request_;
};
