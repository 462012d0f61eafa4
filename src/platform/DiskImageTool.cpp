#include "platform/DiskImageTool.h"

#include "platform/ProcessRunner.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {
// The tool is installed beside the application's program; PATH only serves development runs.
ProcessRunner& runner()
{
    ProcessRunner& runner = ProcessRunner::shared();
    if (runner.toolPath(DiskImageTool::kTool).isEmpty()) {
        const QString sibling = QCoreApplication::applicationDirPath() + u'/' + DiskImageTool::kTool;
        if (QFileInfo(sibling).isExecutable())
            runner.setToolPath(DiskImageTool::kTool, sibling);
    }
    return runner;
}
} // namespace

QCoro::Task<ProcessResult> DiskImageTool::attach(QString imagePath, QString mountRoot)
{
    return runner().run(kTool,
        {QStringLiteral("attach"), imagePath, QStringLiteral("-nobrowse"), QStringLiteral("-plist"),
            QStringLiteral("-mountroot"), mountRoot},
        kAttachTimeoutMs);
}

std::optional<QString> DiskImageTool::mountPointFrom(const QByteArray& attachOutput)
{
    const auto plist = PropertyList::parse(attachOutput);
    if (!plist || plist->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariant entities = plist->toMap().value(QStringLiteral("system-entities"));
    if (entities.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    for (const QVariant& entity : entities.toList()) {
        const QVariant mountPoint = entity.toMap().value(QStringLiteral("mount-point"));
        if (mountPoint.typeId() == QMetaType::QString && !mountPoint.toString().isEmpty())
            return mountPoint.toString();
    }
    return std::nullopt;
}

QCoro::Task<ProcessResult> DiskImageTool::detach(QString mountPoint)
{
    return runner().run(kTool, {QStringLiteral("detach"), mountPoint, QStringLiteral("-quiet")}, kDetachTimeoutMs);
}
