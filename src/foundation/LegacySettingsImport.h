#pragma once
// placeholder until the importer lands
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
struct LegacySettings {
    QList<std::pair<QString, QByteArray>> entries;
    QStringList troubles;
    std::optional<QString> passingFailure;
};
namespace LegacySettingsImport {
std::optional<LegacySettings> read(const QString& jsonPath);
bool keepImported(const QString& jsonPath, QString* failure);
}
