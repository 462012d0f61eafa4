// Reads the settings files of an earlier version as the move into the database does, and prints
// the time it took; with --bytes, only reads the settings file's bytes (the reference: one copy of
// the file). Run legacy-import-bench.sh, which measures each run's peak memory.
//   legacy-import-bench [--bytes] <path of standard.json>
#include "foundation/LegacySettingsImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: legacy-import-bench [--bytes] <standard.json>\n");
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    if (arguments.first() == QStringLiteral("--bytes")) {
        QFile file(arguments.value(1));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        std::printf("read_ms = %lld\nbytes = %lld\n", timer.elapsed(), static_cast<long long>(bytes.size()));
        return 0;
    }
    const std::optional<LegacySettings> settings = LegacySettingsImport::read(arguments.first());
    const qint64 elapsed = timer.elapsed();
    qsizetype bytes = 0;
    for (const auto& entry : settings ? settings->entries : QList<std::pair<QString, QByteArray>>())
        bytes += entry.second.size();
    std::printf("import_ms = %lld\nentries = %lld\nentry_bytes = %lld\ntroubles = %lld\n", elapsed,
        static_cast<long long>(settings ? settings->entries.size() : 0), static_cast<long long>(bytes),
        static_cast<long long>(settings ? settings->troubles.size() : 0));
    return 0;
}
