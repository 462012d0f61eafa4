#pragma once

#include <QList>
#include <QString>

// The images this user has attached and where: one small JSON file per attachment in a private
// folder (the user's runtime folder, else the temporary one), so that "info" can list them and
// "detach" removes only folders that "attach" made.
class AttachmentRegistry {
public:
    struct Attachment {
        QString imagePath;
        QString mountPoint;
    };

    // False, with the reason in errorString(), when the private folder cannot be made safely.
    bool open();
    QString errorString() const { return error_; }
    // The default home of mount folders, inside the private folder.
    QString volumesFolder() const;

    bool add(const Attachment& attachment);
    // Attachments whose mount folder still exists; records of vanished folders are dropped.
    QList<Attachment> list();
    bool contains(const QString& mountPoint) const;
    // Forgets the attachment mounted at `mountPoint`; false when there is none.
    bool remove(const QString& mountPoint);

    // The form in which mount points are recorded and compared: absolute and clean.
    static QString normalized(const QString& path);

private:
    QString recordOf(const QString& mountPoint) const;

    QString folder_;
    QString error_;
};
