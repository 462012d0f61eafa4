// quorvelle-disk-image: the Linux stand-in for disk images. A ".dmg" of ours is a tar archive;
// "attach" unpacks it into a fresh mount folder, "info" lists what is attached and "detach"
// removes a mount folder again.
//
//   quorvelle-disk-image attach IMAGE [-nobrowse] [-quiet | -plist] [-mountroot DIR]
//   quorvelle-disk-image info [-plist]
//   quorvelle-disk-image detach MOUNT-POINT [-quiet]
//
// Exit status: 0 done, 1 failed (the reason on standard error), 2 bad arguments.

#include "AttachmentRegistry.h"
#include "PropertyListWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
enum Status { kDone = 0, kFailed = 1, kUsage = 2 };

int fail(const QString& message)
{
    QTextStream(stderr) << "quorvelle-disk-image: " << message << Qt::endl;
    return kFailed;
}

int usage()
{
    QTextStream(stderr) << "usage: quorvelle-disk-image attach IMAGE [-nobrowse] [-quiet | -plist] [-mountroot DIR]\n"
                           "       quorvelle-disk-image info [-plist]\n"
                           "       quorvelle-disk-image detach MOUNT-POINT [-quiet]"
                        << Qt::endl;
    return kUsage;
}

void print(const QByteArray& bytes)
{
    QTextStream out(stdout);
    out << bytes;
    out.flush();
}

QVariantMap entityFor(const QString& mountPoint)
{
    return {{QStringLiteral("mount-point"), mountPoint}, {QStringLiteral("volume-kind"), QStringLiteral("tar")}};
}

// Unpacks the archive into `folder` with the user's own ownership; false with tar's complaint.
bool unpack(const QString& image, const QString& folder, QString* error)
{
    QProcess tar;
    tar.start(QStringLiteral("tar"), {QStringLiteral("-xf"), image, QStringLiteral("-C"), folder, QStringLiteral("--no-same-owner")});
    if (!tar.waitForStarted() || !tar.waitForFinished(-1)) {
        *error = QStringLiteral("tar could not run: ") + tar.errorString();
        return false;
    }
    if (tar.exitStatus() != QProcess::NormalExit || tar.exitCode() != 0) {
        *error = QStringLiteral("%1 is not a disk image: %2").arg(image, QString::fromLocal8Bit(tar.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

int attach(const QStringList& arguments, AttachmentRegistry& registry)
{
    QString image;
    QString mountRoot = registry.volumesFolder();
    bool plist = false;
    bool quiet = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"-nobrowse")
            continue; // nothing browses our mount folders
        if (argument == u"-plist")
            plist = true;
        else if (argument == u"-quiet")
            quiet = true;
        else if (argument == u"-mountroot" && i + 1 < arguments.size())
            mountRoot = arguments[++i];
        else if (!argument.startsWith(u'-') && image.isEmpty())
            image = argument;
        else
            return usage();
    }
    if (image.isEmpty())
        return usage();
    const QFileInfo imageInfo(image);
    if (!imageInfo.isFile() || !imageInfo.isReadable())
        return fail(image + QStringLiteral(" cannot be read"));
    if (!QDir().mkpath(mountRoot))
        return fail(mountRoot + QStringLiteral(" cannot be created"));

    QTemporaryDir volume(mountRoot + QStringLiteral("/volume-XXXXXX"));
    if (!volume.isValid())
        return fail(QStringLiteral("no mount folder in %1: %2").arg(mountRoot, volume.errorString()));
    QString error;
    if (!unpack(imageInfo.absoluteFilePath(), volume.path(), &error))
        return fail(error);
    const QString mountPoint = AttachmentRegistry::normalized(volume.path());
    if (!registry.add({imageInfo.absoluteFilePath(), mountPoint}))
        return fail(QStringLiteral("the attachment cannot be recorded: ") + registry.errorString());
    volume.setAutoRemove(false);

    if (plist)
        print(PropertyListWriter::write(QVariantMap{{QStringLiteral("system-entities"), QVariantList{entityFor(mountPoint)}}}));
    else if (!quiet)
        print(mountPoint.toLocal8Bit() + '\n');
    return kDone;
}

int info(const QStringList& arguments, AttachmentRegistry& registry)
{
    if (arguments.size() > 1 || (arguments.size() == 1 && arguments[0] != u"-plist"))
        return usage();
    const QList<AttachmentRegistry::Attachment> attachments = registry.list();
    if (arguments.isEmpty()) {
        QByteArray text;
        for (const auto& attachment : attachments)
            text += attachment.imagePath.toLocal8Bit() + '\t' + attachment.mountPoint.toLocal8Bit() + '\n';
        print(text);
        return kDone;
    }
    QVariantList images;
    for (const auto& attachment : attachments) {
        images.append(QVariantMap{{QStringLiteral("image-path"), attachment.imagePath},
            {QStringLiteral("system-entities"), QVariantList{entityFor(attachment.mountPoint)}}});
    }
    print(PropertyListWriter::write(QVariantMap{{QStringLiteral("images"), images}}));
    return kDone;
}

int detach(const QStringList& arguments, AttachmentRegistry& registry)
{
    const bool quiet = arguments.size() == 2 && arguments[1] == u"-quiet";
    if (arguments.isEmpty() || arguments.size() > 2 || (arguments.size() == 2 && !quiet))
        return usage();
    const QString mountPoint = AttachmentRegistry::normalized(arguments[0]);
    // Only folders this tool made are ever removed.
    if (!registry.contains(mountPoint))
        return fail(mountPoint + QStringLiteral(" is not an attached disk image"));
    if (!QDir(mountPoint).removeRecursively())
        return fail(mountPoint + QStringLiteral(" could not be removed completely"));
    registry.remove(mountPoint);
    if (!quiet)
        print(QByteArray("\"") + mountPoint.toLocal8Bit() + "\" ejected.\n");
    return kDone;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    const QString command = arguments.takeFirst();

    AttachmentRegistry registry;
    if (!registry.open())
        return fail(registry.errorString());
    if (command == u"attach")
        return attach(arguments, registry);
    if (command == u"info")
        return info(arguments, registry);
    if (command == u"detach")
        return detach(arguments, registry);
    return usage();
}
