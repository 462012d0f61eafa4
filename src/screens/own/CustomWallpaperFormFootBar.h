#pragma once

#include "backend/CategoryItem.h"
#include "model/WallpaperModel.h"

#include <QList>
#include <QWidget>

#include <optional>

class LabelButton;
class ProgressBarView;
class QLineEdit;
class TextLabel;

// The floating card at the bottom of the full-screen view while it previews a video picked for
// the community: title, category (a list that opens upwards), the video's facts as chips, the
// rights checkbox, "Cancel" and "Submit". While the host uploads, the form stays in view but
// locked, with the upload's step and progress where the buttons were; a failure is said above
// the buttons with everything typed still there; a thank-you once it succeeded. "back" while
// submitting and after. It holds no upload logic: the host owns the title, the category, the
// flags, the progress and the failure, sets them here and hears every change. GUI thread.
class CustomWallpaperFormFootBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxTitleLength = 50;
    static constexpr int kMinTitleLength = 4;
    static constexpr int kContentWidth = 324;

    enum class Display { Form, Submitting, Success };

    CustomWallpaperFormFootBar(const WallpaperModel& wallpaper, const QList<CategoryItem>& categories, QWidget* parent = nullptr);
    ~CustomWallpaperFormFootBar() override;

    // What the host holds; setting them never emits.
    void setTitle(const QString& title);
    QString title() const { return title_; }
    const std::optional<CategoryItem>& selectedCategory() const { return selectedCategory_; }
    void setCategories(const QList<CategoryItem>& categories);
    void setSubmitting(bool submitting);
    void setSubmissionSuccessful(bool successful);
    bool isSubmissionSuccessful() const { return successful_; }
    // The upload's current step and how far it got, 0 to 1 (shown while submitting).
    void setProgress(const QString& message, double progress);
    // Why the last upload failed (shown over the buttons); empty clears it.
    void setFailure(const QString& failure);
    QString failure() const;
    QString progressMessage() const;
    // "64%".
    QString progressPercent() const;

    Display display() const;
    void setAgreedToTerms(bool agreed);
    bool canSubmit() const;
    bool isDropdownOpen() const { return dropdownOpen_; }
    void setDropdownOpen(bool open);
    // The categories in the order the list shows them (the last one on top).
    QList<CategoryItem> dropdownOrder() const;
    void chooseCategory(const CategoryItem& category);
    // The counter under the title, when shown.
    std::optional<QString> counterText() const;

    QLineEdit* titleField() const { return titleField_; }
    LabelButton* categoryButton() const { return categoryButton_; }
    LabelButton* submitButton() const { return submit_; }
    LabelButton* backButton() const { return back_; }

    // The title an edit leaves: refused (the previous title) when the typed text passes 50
    // characters and is longer than the previous title, otherwise every word between spaces
    // capitalised (runs of spaces kept).
    static QString titleAfterEdit(const QString& previous, const QString& typed);
    static bool canSubmit(const QString& title, bool hasCategory, bool agreed, bool submitting);
    // Shown from 40 trimmed characters: "42/50".
    static std::optional<QString> counterText(const QString& title);

    QSize sizeHint() const override;

Q_SIGNALS:
    void titleEdited(const QString& title);
    void categoryChosen(const CategoryItem& category);
    void backClicked();
    void cancelClicked();
    void submitClicked();
    // The card's height changed with what it shows: its host places it anew.
    void heightChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createForm();
    void createProgress();
    void refresh();
    void fitHeight();
    void placeDropdown();
    void paintChips();
    void rebuildDropdown();
    QRect titleFieldFrame() const;
    int cardHeight() const;

    WallpaperModel wallpaper_;
    QList<CategoryItem> categories_;
    QString title_;
    std::optional<CategoryItem> selectedCategory_;
    bool submitting_ = false;
    bool successful_ = false;
    bool agreedToTerms_ = true;
    bool dropdownOpen_ = false;

    LabelButton* back_;
    QWidget* successBlock_;
    QWidget* form_;
    QWidget* fields_ = nullptr;
    QLineEdit* titleField_ = nullptr;
    TextLabel* counter_ = nullptr;
    LabelButton* categoryButton_ = nullptr;
    QWidget* chips_ = nullptr;
    LabelButton* checkbox_ = nullptr;
    LabelButton* cancel_ = nullptr;
    LabelButton* submit_ = nullptr;
    QWidget* buttonRow_ = nullptr;
    TextLabel* failure_ = nullptr;
    QWidget* progress_ = nullptr;
    TextLabel* progressMessage_ = nullptr;
    TextLabel* progressPercent_ = nullptr;
    ProgressBarView* progressBar_ = nullptr;
    QWidget* dropdown_;
};
