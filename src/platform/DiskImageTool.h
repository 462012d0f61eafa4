#pragma once

#include "platform/ProcessResult.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// The disk-image tool of our own (tools/disk-image), the Linux stand-in for disk images: a
// ".dmg" is an archive that "attach" unpacks into a fresh mount folder and reports as a property
// list, "info" lists, and "detach" removes. Runs through ProcessRunner under the name kTool,
// found next to the application's program unless a path was set. GUI thread.
class DiskImageTool {
public:
    static constexpr QLatin1String kTool{"quorvelle-disk-image"};
    static constexpr int kAttachTimeoutMs = 5 * 60'000;
    static constexpr int kDetachTimeoutMs = 60'000;

    // Unpacks `imagePath` into a new folder under `mountRoot`; the output is a property list
    // whose "system-entities" carry the "mount-point".
    static QCoro::Task<ProcessResult> attach(QString imagePath, QString mountRoot);
    // The first "mount-point" among the "system-entities" of attach's output.
    static std::optional<QString> mountPointFrom(const QByteArray& attachOutput);
    // Removes the mount folder; the tool refuses folders it did not attach.
    static QCoro::Task<ProcessResult> detach(QString mountPoint);
};
