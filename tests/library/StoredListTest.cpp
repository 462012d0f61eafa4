#include "LibraryFixture.h"

#include "library/StoredList.h"
#include "model/WallpaperModelReader.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Stored records as the lists write them.
class StoredListTest : public LibraryFixture {
protected:
    // With a title that may hold JSON's own signs, perhaps without one of its fields.
    static QByteArray storedRecord(qint64 key, const QString& title, const QString& without = {})
    {
        QJsonObject json = wallpaper(key, title).toJson();
        json.remove(without);
        return QJsonDocument(json).toJson(QJsonDocument::Compact);
    }
};

// Records are parsed one by one where they lie in the text, or read straight from it; whatever
// the text, the result is the one reading it whole gives: the same records, the same errors with
// the same paths, the same failure.
TEST_F(StoredListTest, ARecordByRecordReadGivesWhatTheWholeReadGives)
{
    const auto withNumber = [](QByteArray record, const QByteArray& field, const QByteArray& number) {
        const qsizetype at = record.indexOf(QByteArray('"' + field + "\":")) + field.size() + 3;
        return record.replace(at, record.indexOf(',', at) - at, number);
    };
    const QByteArray first = storedRecord(1, QStringLiteral("Signs } ] { [ , : \" \\ in a title"));
    const QByteArray second = storedRecord(2, QStringLiteral("Ünïcode 🌲"));
    const QByteArray unnamed = storedRecord(3, QStringLiteral("Unnamed"), QStringLiteral("title"));
    struct Case {
        const char* what;
        QByteArray text;
        std::optional<QStringList> titles; // none: the value is not read as an array
        QStringList errorPaths;
    };
    const QList<Case> cases{
        {"an empty array", " [ ] ", QStringList{}, {}},
        {"records with spaces between", "\n[ " + first + " ,\n\t" + second + " ]\r\n",
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title"), QStringLiteral("Ünïcode 🌲")}, {}},
        {"a record without a title", '[' + first + ',' + unnamed + ',' + second + ']',
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title"), QStringLiteral("Ünïcode 🌲")},
            {QStringLiteral("[1].title")}},
        {"an element that is no record", '[' + first + ",42," + second + ']',
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title"), QStringLiteral("Ünïcode 🌲")},
            {QStringLiteral("[1]")}},
        {"records the reader leaves to the parser",
            '[' + QByteArray(first).replace("\"category\":", "\"resolution\":null,\"category\":") + ','
                + withNumber(second, "likes", "1e2") + ',' + withNumber(unnamed, "downloads", "2.5") + ']',
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title"), QStringLiteral("Ünïcode 🌲")},
            {QStringLiteral("[2].title")}},
        {"a fraction where an integer belongs", '[' + first + ',' + withNumber(second, "likes", "1.5") + ']',
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title")}, {QStringLiteral("[1].likes")}},
        {"an id that is no UUID", '[' + QByteArray(second).replace("\"id\":\"", "\"id\":\"x") + ',' + first + ']',
            QStringList{QStringLiteral("Signs } ] { [ , : \" \\ in a title")}, {QStringLiteral("[0].id")}},
        {"a title that is not UTF-8", '[' + first + ',' + QByteArray(second).replace("Ünïcode", "\xdc") + ']', std::nullopt, {}},
        {"a damaged record", '[' + first + ',' + second.chopped(1) + ']', std::nullopt, {}},
        {"a cut array", '[' + first + ',' + second, std::nullopt, {}},
        {"text after the array", '[' + first + "] x", std::nullopt, {}},
        {"an object", first, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StoredList::Decoded<WallpaperModel> parsed = StoredList::decode<WallpaperModel>(c.text);
        const StoredList::Decoded<WallpaperModel> read = StoredList::decode<WallpaperModel, WallpaperModelReader>(c.text);
        for (const StoredList::Decoded<WallpaperModel>* decoded : {&parsed, &read}) {
            ASSERT_EQ(decoded->records.has_value(), c.titles.has_value());
            EXPECT_EQ(decoded->failure, parsed.failure);
            if (!c.titles) {
                EXPECT_FALSE(decoded->failure.isEmpty());
                continue;
            }
            QStringList titles;
            for (const WallpaperModel& model : *decoded->records)
                titles.append(model.title);
            EXPECT_EQ(titles, *c.titles);
            QStringList paths;
            QStringList errors;
            for (const JsonError& error : decoded->errors) {
                paths.append(error.path());
                errors.append(error.localizedDescription());
            }
            EXPECT_EQ(paths, c.errorPaths);
            QStringList parsedErrors;
            for (const JsonError& error : parsed.errors)
                parsedErrors.append(error.localizedDescription());
            EXPECT_EQ(errors, parsedErrors);
        }
    }
}

// A long list is handed out in parts to several cores; every record comes back, in order, and a
// record that fails costs itself alone, or, when it does not even parse, fails the list as a
// whole read would.
TEST_F(StoredListTest, ALongListKeepsItsOrder)
{
    constexpr qint64 kCount = 2'345;
    constexpr qint64 kFaulty = 1'700;
    const auto list = [](const QByteArray& faulty) -> QByteArray {
        QByteArray text("[");
        for (qint64 key = 0; key < kCount; ++key)
            text += (key > 0 ? "," : "") + (key == kFaulty ? faulty : storedRecord(key, QStringLiteral("Wallpaper %1").arg(key)));
        return text + ']';
    };
    struct Case {
        const char* what;
        QByteArray text;
        bool read;
        QStringList errorPaths;
    };
    const QList<Case> cases{
        {"every record whole", list(storedRecord(kFaulty, QStringLiteral("Wallpaper 1700"))), true, {}},
        {"a record without a title", list(storedRecord(kFaulty, {}, QStringLiteral("title"))), true, {QStringLiteral("[1700].title")}},
        {"a record that does not parse", list(storedRecord(kFaulty, QStringLiteral("Wallpaper 1700")).replace("\"likes\":", "\"likes\":0")),
            false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const StoredList::Decoded<WallpaperModel> parsed = StoredList::decode<WallpaperModel>(c.text);
        const StoredList::Decoded<WallpaperModel> read = StoredList::decode<WallpaperModel, WallpaperModelReader>(c.text);
        for (const StoredList::Decoded<WallpaperModel>* decoded : {&parsed, &read}) {
            ASSERT_EQ(decoded->records.has_value(), c.read);
            if (!c.read)
                continue;
            QList<qint64> keys;
            for (const WallpaperModel& record : *decoded->records)
                keys.append(*record.key);
            QList<qint64> expected;
            for (qint64 key = 0; key < kCount; ++key)
                if (c.errorPaths.isEmpty() || key != kFaulty)
                    expected.append(key);
            EXPECT_EQ(keys, expected);
            QStringList paths;
            for (const JsonError& error : decoded->errors)
                paths.append(error.path());
            EXPECT_EQ(paths, c.errorPaths);
        }
    }
}

} // namespace
