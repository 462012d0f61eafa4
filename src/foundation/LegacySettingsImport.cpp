#include "foundation/LegacySettingsImport.h"
std::optional<LegacySettings> LegacySettingsImport::read(const QString&) { return std::nullopt; }
bool LegacySettingsImport::keepImported(const QString&, QString*) { return true; }
