#include "library/UploadDeviceIdentifier.h"

#include "foundation/UserDefaults.h"

#include <QUuid>

QString UploadDeviceIdentifier::value(UserDefaults& defaults)
{
    const QString stored = defaults.string(kKey);
    if (!QUuid::fromString(stored).isNull())
        return stored;
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    defaults.setString(kKey, made);
    return made;
}

QString UploadDeviceIdentifier::value() { return value(UserDefaults::standard()); }
