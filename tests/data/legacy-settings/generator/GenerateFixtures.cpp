// Writes settings files with the settings store of an earlier version, as users have them:
// generate <output folder>. Each case is a folder holding "standard.json" (and its journal) as
// the store left them, and "expected.json": the same store's file once it has read them.
#include "foundation/Paths.h"
#include "foundation/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {
const QString kLiked = QStringLiteral("likedWallpapersModels");

QByteArray liked(int number)
{
    return "{\"id\":" + QByteArray::number(number) + ",\"key\":\"w" + QByteArray::number(number) + "\",\"title\":\"Wallpaper "
        + QByteArray::number(number) + "\"}";
}

// The liked list as its owner keeps it, telling the store what each change did. It claims to be
// long, so that the store journals its changes as it does for a long library, while the files
// stay a few kilobytes.
class LikedList : public UserDefaults::DataSource {
public:
    QList<QByteArray> elements;
#ifdef STORE_HAS_JOURNAL
    mutable std::optional<QList<Splice>> pending;
#endif

    void like(int number)
    {
        elements.prepend(liked(number));
#ifdef STORE_HAS_JOURNAL
        if (pending)
            pending->append({0, 0, {liked(number)}});
#endif
    }
    void unlike(int number)
    {
        const qsizetype at = elements.indexOf(liked(number));
        elements.removeAt(at);
#ifdef STORE_HAS_JOURNAL
        if (pending)
            pending->append({at, 1, {}});
#endif
    }
    QByteArray bytes() const { return '[' + elements.join(',') + ']'; }
    Write snapshot() const override
    {
        return [bytes = bytes()](const Append& append) { append(bytes); };
    }
    qsizetype sizeHint() const override { return qsizetype(2) << 20; }
#ifdef STORE_HAS_JOURNAL
    std::optional<QList<Splice>> changes() const override { return pending; }
    void taken() const override { pending.emplace(); }
#endif
};

void copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        std::fprintf(stderr, "could not copy %s\n", qPrintable(from));
}

QString folderOf(const QString& root) { return root + QStringLiteral("/config/Quorvelle"); }

// Copies what the store left in `root` into the case's folder.
void keepCase(const QString& root, const QString& output, const QString& name)
{
    const QString to = output + QLatin1Char('/') + name;
    QDir().mkpath(to);
    for (const QString& file : {QStringLiteral("standard.json"), QStringLiteral("standard.json.journal")})
        if (QFile::exists(folderOf(root) + QLatin1Char('/') + file))
            copyFile(folderOf(root) + QLatin1Char('/') + file, to + QLatin1Char('/') + file);
}

enum class Journal { Read, Ignored };

// What the store reads from the case's files (the file alone, with Journal::Ignored), written by
// it as one file.
void keepExpected(const QString& output, const QString& name, Journal journal = Journal::Read)
{
    QTemporaryDir scratch;
    const Paths::Override paths(scratch.path());
    QDir().mkpath(folderOf(scratch.path()));
    for (const QString& file : {QStringLiteral("standard.json"), QStringLiteral("standard.json.journal")})
        if (QFile::exists(output + QLatin1Char('/') + name + QLatin1Char('/') + file) && (journal == Journal::Read || file.endsWith(QStringLiteral(".json"))))
            copyFile(output + QLatin1Char('/') + name + QLatin1Char('/') + file, folderOf(scratch.path()) + QLatin1Char('/') + file);
    {
        UserDefaults store;
        // Written whole with what it read: a change to every key it holds.
        store.setString(QStringLiteral("expected.marker"), QStringLiteral("x"));
        store.remove(QStringLiteral("expected.marker"));
        store.flush();
#ifdef STORE_HAS_JOURNAL
        store.checkpoint();
        store.flush();
#endif
    }
    copyFile(folderOf(scratch.path()) + QStringLiteral("/standard.json"), output + QLatin1Char('/') + name + QStringLiteral("/expected.json"));
}

void setSettings(UserDefaults& store)
{
    store.setString(QStringLiteral("appearance"), QStringLiteral("dark"));
    store.setInteger(QStringLiteral("playlistInterval"), 1800);
    store.setBool(QStringLiteral("launchAtLogin"), true);
    store.setDouble(QStringLiteral("volume"), 0.25);
    store.setDate(QStringLiteral("lastUpdateCheck"), QDateTime::fromSecsSinceEpoch(1'780'000'000, Qt::UTC));
    store.setArray(QStringLiteral("recentSearches"), QJsonArray{QStringLiteral("ocean"), QStringLiteral("forest")});
    store.setDictionary(QStringLiteral("displayWallpapers"), QJsonObject{{QStringLiteral("DP-1"), QStringLiteral("w3")}});
    store.setData(QStringLiteral("ownVideos"), QByteArrayLiteral("[{\"key\":\"own-1\",\"file\":\"own-1.mp4\"}]"));
}

#ifdef STORE_HAS_JOURNAL
// A library whose file holds changes up to a checkpoint (the last two journaled) and whose
// journal holds six more: three likes, an unlike, a setting changed and one removed. With `restored`, the file is then put back
// as it was at an earlier checkpoint, as a backup restored over it would be.
void writeJournaled(const QString& output, const QString& name, bool restored)
{
    QTemporaryDir root;
    const Paths::Override paths(root.path());
    const QString file = folderOf(root.path()) + QStringLiteral("/standard.json");
    {
        UserDefaults store;
        auto list = std::make_shared<LikedList>();
        for (int number = 1; number <= 4; ++number)
            list->like(number);
        store.setDataSource(kLiked, list);
        setSettings(store);
        list->like(5);
        store.setDataSource(kLiked, list);
        store.flush();
        // Journaled, then held by the file, which names the last record it holds.
        list->like(10);
        store.setDataSource(kLiked, list);
        store.setString(QStringLiteral("appearance"), QStringLiteral("dusk"));
        store.checkpoint();
        store.flush();
        if (restored) {
            copyFile(file, file + QStringLiteral(".backup"));
            list->unlike(2);
            store.setDataSource(kLiked, list);
            store.setString(QStringLiteral("appearance"), QStringLiteral("light"));
            list->like(6);
            store.setDataSource(kLiked, list);
            store.checkpoint();
            store.flush();
        }
        list->like(7);
        store.setDataSource(kLiked, list);
        list->like(8);
        store.setDataSource(kLiked, list);
        list->unlike(3);
        store.setDataSource(kLiked, list);
        store.setInteger(QStringLiteral("playlistInterval"), 3600);
        list->like(9);
        store.setDataSource(kLiked, list);
        store.remove(QStringLiteral("recentSearches"));
        store.flush();
    }
    if (restored) {
        QFile::remove(file);
        QFile::rename(file + QStringLiteral(".backup"), file);
    }
    keepCase(root.path(), output, name);
}

// A copy of a case's journal with one bit of its second record's bytes flipped.
void damageSecondRecord(const QString& output, const QString& from, const QString& name)
{
    QDir().mkpath(output + QLatin1Char('/') + name);
    for (const QString& file : {QStringLiteral("standard.json"), QStringLiteral("standard.json.journal")})
        copyFile(output + QLatin1Char('/') + from + QLatin1Char('/') + file, output + QLatin1Char('/') + name + QLatin1Char('/') + file);
    QFile journal(output + QLatin1Char('/') + name + QStringLiteral("/standard.json.journal"));
    if (!journal.open(QIODevice::ReadWrite))
        return;
    QByteArray bytes = journal.readAll();
    const auto length = [&bytes](qsizetype at) { return qsizetype(quint8(bytes.at(at))) | qsizetype(quint8(bytes.at(at + 1))) << 8; };
    const qsizetype second = 8 + length(0);
    bytes[second + 8 + length(second) / 2] = char(bytes.at(second + 8 + length(second) / 2) ^ 0x04);
    journal.seek(0);
    journal.write(bytes);
}

// A case's journal without its file, as a deleted settings file leaves it.
void journalAlone(const QString& output, const QString& from, const QString& name)
{
    QDir().mkpath(output + QLatin1Char('/') + name);
    copyFile(output + QLatin1Char('/') + from + QStringLiteral("/standard.json.journal"),
        output + QLatin1Char('/') + name + QStringLiteral("/standard.json.journal"));
}
#endif

// A library small enough that the store writes its file whole on every change: no journal.
void writeWhole(const QString& output, const QString& name)
{
    QTemporaryDir root;
    const Paths::Override paths(root.path());
    {
        UserDefaults store;
        setSettings(store);
        store.setData(kLiked, '[' + liked(2) + ',' + liked(1) + ']');
        store.flush();
    }
    keepCase(root.path(), output, name);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate <output folder>\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
#ifdef STORE_HAS_JOURNAL
    writeJournaled(output, QStringLiteral("journal"), false);
    keepExpected(output, QStringLiteral("journal"));
    writeJournaled(output, QStringLiteral("restored-older-file"), true);
    keepExpected(output, QStringLiteral("restored-older-file"), Journal::Ignored);
    damageSecondRecord(output, QStringLiteral("journal"), QStringLiteral("damaged-middle-record"));
    journalAlone(output, QStringLiteral("journal"), QStringLiteral("journal-without-file"));
    writeWhole(output, QStringLiteral("no-journal"));
    keepExpected(output, QStringLiteral("no-journal"));
#else
    writeWhole(output, QStringLiteral("before-journal"));
    keepExpected(output, QStringLiteral("before-journal"));
#endif
    return 0;
}
