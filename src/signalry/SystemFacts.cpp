#include "signalry/SystemFacts.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>

namespace signalry {

namespace {
QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

QString unquoted(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.replace(QStringLiteral("\\\""), QStringLiteral("\""));
}

QString firstPart(const QString& identifier)
{
    static const QRegularExpression separators(QStringLiteral("[-_]"));
    return identifier.section(separators, 0, 0);
}

QString lastPart(const QString& identifier)
{
    static const QRegularExpression separators(QStringLiteral("[-_]"));
    return identifier.section(separators, -1, -1);
}
} // namespace

const SystemFacts& SystemFacts::current()
{
    static const SystemFacts facts = read();
    return facts;
}

SystemFacts SystemFacts::read()
{
    SystemFacts facts;
    QByteArray osRelease = readSmallFile(QStringLiteral("/etc/os-release"));
    if (osRelease.isEmpty())
        osRelease = readSmallFile(QStringLiteral("/usr/lib/os-release"));
    const OsRelease release = parseOsRelease(osRelease);
    facts.systemName = release.name.isEmpty() ? QStringLiteral("Linux") : release.name;
    const QStringList parts = release.versionId.split(QLatin1Char('.'));
    auto part = [&parts](qsizetype index) {
        return index < parts.size() && !parts[index].isEmpty() ? parts[index] : QStringLiteral("0");
    };
    facts.majorVersion = part(0);
    facts.minorVersion = part(1);
    facts.patchVersion = part(2);

    facts.architecture = QSysInfo::currentCpuArchitecture();
    facts.modelName = QString::fromUtf8(readSmallFile(QStringLiteral("/sys/class/dmi/id/product_name"))).section(QChar(0), 0, 0).trimmed();
    if (facts.modelName.isEmpty())
        facts.modelName = facts.architecture;

    const QLocale locale = QLocale::system();
    facts.localeIdentifier = locale.name();
    facts.region = locale.territory() == QLocale::AnyTerritory ? lastPart(facts.localeIdentifier)
                                                               : QLocale::territoryToCode(locale.territory());
    facts.appLanguage = locale.language() == QLocale::AnyLanguage ? firstPart(facts.localeIdentifier)
                                                                  : QLocale::languageToCode(locale.language());
    facts.preferredLanguage = preferredLanguageOf(locale.uiLanguages());

    const QString version = QCoreApplication::applicationVersion();
    facts.appVersion = version.isEmpty() ? QStringLiteral("0") : version;
    const QVariant build = QCoreApplication::instance() ? QCoreApplication::instance()->property("buildNumber") : QVariant();
    facts.buildNumber = build.typeId() == QMetaType::QString && !build.toString().isEmpty() ? build.toString() : QStringLiteral("0");
    return facts;
}

SystemFacts::OsRelease SystemFacts::parseOsRelease(const QByteArray& content)
{
    OsRelease release;
    const QStringList lines = QString::fromUtf8(content).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('#')) || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (key == QLatin1String("NAME"))
            release.name = unquoted(line.mid(equals + 1));
        else if (key == QLatin1String("VERSION_ID"))
            release.versionId = unquoted(line.mid(equals + 1));
    }
    return release;
}

QString SystemFacts::preferredLanguageOf(const QStringList& uiLanguages)
{
    return firstPart(uiLanguages.isEmpty() ? QStringLiteral("zz-ZZ") : uiLanguages.first());
}

} // namespace signalry
