#pragma once

#include <QObject>
#include <QString>

class DiskFailureNotice;
class UserDefaults;

// Tells the user, once per file and in words, that a stored file of theirs could not be read at
// launch and where it is now: "Your <what> could not be read. They were kept at <path> and
// Quorvelle started without them." Any store of the application reports through report(); a
// defaults store through watch(). Shown as the disk notices are (the window's toast, else the
// desktop). GUI thread.
class StoredFileNotice : public QObject {
    Q_OBJECT
public:
    explicit StoredFileNotice(DiskFailureNotice& notice, QObject* parent = nullptr);

    static QString title();
    static QString message(const QString& what, const QString& keptAt);
    // A damaged database copied aside, what still read kept; one that cannot be opened now.
    static QString damagedMessage(const QString& what, const QString& keptAt);
    static QString unopenedMessage(const QString& what, const QString& reason);

    // Tells of a defaults store that found its database damaged at launch, or could not open it.
    void watch(const UserDefaults& defaults, const QString& what);
    // Tells of the analytics files found unusable so far, and of those found later.
    void watchAnalytics();

public Q_SLOTS:
    // `what` names the contents ("settings"); `keptAt` is where the unread file is now.
    void report(const QString& what, const QString& keptAt);

private:
    void tellTrouble(const UserDefaults& defaults, const QString& what);
    DiskFailureNotice& notice_;
};
