#include "TestPaths.h"

namespace TestPaths {

QString sourceFile(const QString& relative) { return QStringLiteral(QUORVELLE_SOURCE_DIR "/") + relative; }

QString dataFile(const QString& name) { return QStringLiteral(QUORVELLE_TEST_DATA_DIR "/") + name; }

QString sampleMediaFolder() { return QStringLiteral(SAMPLE_CATALOGUE_BUILD_MEDIA_DIR); }

} // namespace TestPaths
