#pragma once

#include <QObject>

#include <atomic>
#include <memory>

// How far the copy of an imported video has got, and the user's wish to stop it. The copying
// worker reports into it; the GUI thread hears of each whole per cent through a signal and may
// ask for a stop at any time. Shared by both sides, so make() gives it a deleter that lets the
// GUI thread delete it, whichever side lets go last.
class ImportProgress : public QObject {
    Q_OBJECT

public:
    static std::shared_ptr<ImportProgress> make();

    // 0...1.
    double fraction() const { return permille_.load() / 1000.0; }
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    // From the copying thread: `copied` of `total` bytes are done. False once a stop is asked.
    bool report(qint64 copied, qint64 total);

signals:
    // On the GUI thread, once per whole per cent at most.
    void fractionChanged(double fraction);

private:
    ImportProgress() = default;

    std::atomic<bool> cancelled_ = false;
    std::atomic<int> permille_ = 0;
    std::atomic<int> reportedPercent_ = 0;
};
