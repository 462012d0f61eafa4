#include "foundation/SettingsJournal.h"

#include "support/FileBytes.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QList<QByteArray> threeRecords() { return {"{\"seq\":1}", "", QByteArray(70'000, 'x')}; }

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Whatever a crash leaves at the end of the file (a header cut short, a record cut short, bytes
// that never were a record), the whole records before it read back, the tail is found, and the
// next record appended after cutting it reads back too.
TEST(SettingsJournalTest, ATornTailIsFoundAndCutAway)
{
    TempFolder temp;
    const QString path = temp.file(QStringLiteral("standard.json.journal"));
    QByteArray whole;
    for (const QByteArray& record : threeRecords())
        whole += SettingsJournal::frame(record);
    QByteArray flipped = SettingsJournal::frame("{\"seq\":4}");
    flipped[flipped.size() - 2] = 'X';
    struct Case {
        const char* name;
        QByteArray tail;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"three bytes of a header", SettingsJournal::frame("{\"seq\":4}").left(3)},
        {"a record cut short", SettingsJournal::frame("{\"seq\":4}").chopped(1)},
        {"a record whose bytes changed", flipped},
        {"a length past the end", QByteArray("\xff\xff\xff\x7f\0\0\0\0abc", 11)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path, whole + c.tail);
        SettingsJournal journal(path);
        QString error;
        const SettingsJournal::Contents contents = journal.read(&error);
        EXPECT_TRUE(error.isEmpty());
        EXPECT_EQ(contents.records, threeRecords());
        EXPECT_EQ(contents.torn, !c.tail.isEmpty());
        EXPECT_EQ(contents.wholeBytes, whole.size());
        ASSERT_TRUE(journal.truncate(contents.wholeBytes, &error)) << error.toStdString();
        ASSERT_TRUE(journal.append("{\"seq\":5}", &error)) << error.toStdString();
        EXPECT_EQ(SettingsJournal(path).read(&error).records, threeRecords() + QList<QByteArray>{"{\"seq\":5}"});
    }
}

TEST(SettingsJournalTest, AppendedAndReplacedRecordsReadBackAndAMissingFileHasNone)
{
    TempFolder temp;
    const QString path = temp.file(QStringLiteral("a.journal"));
    SettingsJournal journal(path);
    QString error;
    EXPECT_TRUE(journal.read(&error).records.isEmpty());
    EXPECT_TRUE(error.isEmpty()) << "a missing journal is an empty one";
    for (const QByteArray& record : threeRecords())
        ASSERT_TRUE(journal.append(record, &error));
    EXPECT_EQ(journal.size(), QFile(path).size());
    EXPECT_EQ(SettingsJournal(path).read(&error).records, threeRecords());
    ASSERT_TRUE(journal.replace({"later"}, &error));
    ASSERT_TRUE(journal.append("last", &error)) << "appends go on after a replace";
    EXPECT_EQ(SettingsJournal(path).read(&error).records, (QList<QByteArray>{"later", "last"}));
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

TEST(SettingsJournalTest, TheChecksumIsCrc32)
{
    EXPECT_EQ(SettingsJournal::checksum("123456789"), 0xcbf43926u);
    EXPECT_EQ(SettingsJournal::checksum(""), 0u);
}

} // namespace
