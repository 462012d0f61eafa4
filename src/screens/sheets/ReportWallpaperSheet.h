#pragma once

#include "model/WallpaperModel.h"
#include "screens/ReportReason.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>
#include <optional>

class APIService;
class QLabel;
class QPlainTextEdit;
class QSpacerItem;
class ReportReasonRow;
class ReportSubmitButton;
class SheetHost;
class SymbolButton;

// The sheet in which the user reports one catalogue wallpaper: one of four reasons (free text
// under "Other"), then Submit. The report is sent at once; "Reported" shows only once the backend
// took it (at the earliest 0.4 s after Submit) and the sheet closes 0.8 s later; a report that
// did not arrive leaves the sheet open with the button offering another try. A wallpaper without
// a catalogue key cannot be reported. `onDismiss` may be called more than once. GUI thread; the
// presenter owns the sheet.
class ReportWallpaperSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 340;
    static constexpr int kMinimumSpinMs = 400;
    static constexpr int kDismissAfterReportedMs = 800;

    // The shared backend client.
    ReportWallpaperSheet(const WallpaperModel& wallpaper, std::function<void()> onDismiss, QWidget* parent = nullptr);
    ReportWallpaperSheet(const WallpaperModel& wallpaper, std::function<void()> onDismiss, APIService& api,
        QWidget* parent = nullptr);

    // Presents a sheet for `wallpaper` on `sheets`; its dismissals take down only this sheet.
    static ReportWallpaperSheet* present(SheetHost& sheets, const WallpaperModel& wallpaper);

    void selectReason(ReportReason reason);
    QString otherText() const;
    bool canSubmit() const;
    void submit();
    bool isSubmitting() const { return submitting_; }
    bool isSubmitted() const { return submitted_; }
    bool hasFailed() const { return failed_; }

    ReportReasonRow* row(ReportReason reason) const;
    QPlainTextEdit* otherEditor() const { return other_; }
    ReportSubmitButton* submitButton() const { return submit_; }
    SymbolButton* closeButton() const { return close_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void reportArrived(bool arrived);
    void refresh();

    WallpaperModel wallpaper_;
    std::function<void()> onDismiss_;
    APIService& api_;
    std::optional<ReportReason> selected_;
    bool submitting_ = false;
    bool submitted_ = false;
    bool failed_ = false;
    QElapsedTimer sinceSubmit_;
    QList<ReportReasonRow*> rows_;
    QPlainTextEdit* other_;
    QSpacerItem* editorGap_ = nullptr;
    ReportSubmitButton* submit_;
    SymbolButton* close_;
};
