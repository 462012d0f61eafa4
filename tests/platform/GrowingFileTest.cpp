#include "platform/GrowingFile.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The bytes 0, 1, 2, ... as blocks of `size`, written to `file` and handed to `growing` as the
// transfer's worker does.
QByteArray blockAt(qint64 offset, qsizetype size)
{
    QByteArray block(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        block[i] = char((offset + i) % 251);
    return block;
}

class GrowingFileTest : public ::testing::Test {
protected:
    void SetUp() override { restart(); }

    // An empty file, as a new transfer begins.
    void restart()
    {
        file_.close();
        file_.setFileName(folder_.file(QStringLiteral("growing.bin")));
        ASSERT_TRUE(file_.open(QIODevice::ReadWrite | QIODevice::Truncate));
    }

    void land(GrowingFile& growing, qint64 bytes, qsizetype blockBytes = 1000)
    {
        for (qint64 offset = file_.size(); offset < bytes; offset += blockBytes) {
            const QByteArray block = blockAt(offset, qsizetype(std::min<qint64>(blockBytes, bytes - offset)));
            file_.write(block);
            file_.flush();
            growing.bodyWritten(block);
        }
    }

    // The bytes at `position` as the reader gets them, in reads of at most `size`.
    static QByteArray readAll(GrowingFile& growing, qint64 position, qint64 size)
    {
        QByteArray got;
        QByteArray buffer(qsizetype(size), '\0');
        for (;;) {
            const qint64 read = growing.read(position + got.size(), buffer.data(), size);
            if (read <= 0)
                return got;
            got.append(buffer.constData(), qsizetype(read));
        }
    }

    TempFolder folder_;
    QFile file_;
};

// Every read gives the file's bytes, from the blocks still in memory or from the file once the
// reader lagged past the window or went back.
TEST_F(GrowingFileTest, ReadsGiveTheBytesWrittenWhereverTheyAreKept)
{
    const struct {
        const char* name;
        qint64 window;
        qint64 position;
        qint64 readBytes;
        qint64 readingDoneAt = -1; // bytes landed when the reader said it was done
    } cases[] = {
        {"all in memory, from the start", 1 << 20, 0, 700},
        {"all in memory, from the middle", 1 << 20, 4321, 4096},
        {"lagging past the window", 3000, 0, 512},
        {"lagging, starting inside the window", 3000, 8500, 777},
        {"no window at all", 0, 1234, 10000},
        {"read again after the reader was done", 1 << 20, 4321, 4096, 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        GrowingFile growing(c.window);
        growing.bodyStarted(file_.handle(), 10000);
        if (c.readingDoneAt >= 0) {
            land(growing, c.readingDoneAt);
            growing.readingDone();
            // Blocks landing from then on are let go at once, for the worker to take again.
            land(growing, c.readingDoneAt + 1000);
            const QByteArray next = blockAt(file_.size(), 1000);
            file_.write(next);
            file_.flush();
            growing.bodyWritten(next);
            EXPECT_TRUE(next.isDetached());
        }
        land(growing, 10000);
        growing.transferEnded(true);
        EXPECT_EQ(readAll(growing, c.position, c.readBytes), blockAt(c.position, qsizetype(10000 - c.position)));
        // Back to the start after the reader moved on: from the file.
        EXPECT_EQ(readAll(growing, 0, 4096), blockAt(0, 10000));
        EXPECT_TRUE(growing.readAsStored());
    }
}

// How a read at the end ends, and what the size and the verdict's standing are, for each way a
// transfer can end.
TEST_F(GrowingFileTest, TheEndOfTheBodyIsToldAsTheTransferEnded)
{
    const struct {
        const char* name;
        qint64 announced;
        bool complete;
        bool cancelled;
        qint64 readAtEnd;
        qint64 size;
        bool readAsStored;
    } cases[] = {
        {"complete as announced", 5000, true, false, 0, 5000, true},
        {"complete, nothing announced", -1, true, false, 0, 5000, true},
        {"complete at another size than announced", 6000, true, false, 0, 6000, false},
        {"failed", 5000, false, false, -1, -1, false},
        {"cancelled", 5000, true, true, -1, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        GrowingFile growing;
        growing.bodyStarted(file_.handle(), c.announced);
        land(growing, 5000);
        // Asked while the body arrives, the size is the announced one.
        if (c.announced >= 0) {
            EXPECT_EQ(growing.size(), c.announced);
        }
        growing.transferEnded(c.complete);
        if (c.cancelled)
            growing.cancel();
        char byte = 0;
        EXPECT_EQ(growing.read(5000, &byte, 1), c.readAtEnd);
        EXPECT_EQ(growing.size(), c.size);
        EXPECT_EQ(growing.readAsStored(), c.readAsStored);
        // What arrived before a failure still reads, unless the reading was cancelled.
        EXPECT_EQ(growing.read(10, &byte, 1), c.cancelled ? -1 : 1);
    }
}

// A reader ahead of the transfer waits for the bytes, and for the size, until they come; a
// cancel ends every wait.
TEST_F(GrowingFileTest, AReaderAheadWaitsForTheBytes)
{
    GrowingFile growing;
    std::atomic<qint64> read = -2;
    std::atomic<qint64> size = -2;
    std::thread reader([&] {
        char buffer[100];
        read = growing.read(2500, buffer, sizeof buffer);
        size = growing.size();
    });
    growing.bodyStarted(file_.handle(), -1);
    land(growing, 2000);
    EXPECT_EQ(read, -2); // 2000 bytes are not enough
    land(growing, 3000);
    growing.transferEnded(true);
    reader.join();
    EXPECT_EQ(read, 100);
    EXPECT_EQ(size, 3000);

    GrowingFile abandoned;
    std::thread waiting([&] {
        char byte = 0;
        read = abandoned.read(0, &byte, 1);
    });
    abandoned.cancel();
    waiting.join();
    EXPECT_EQ(read, -1);
}

} // namespace
