#include "platform/GrowingVideoCheck.h"
#include "platform/HttpBodyTap.h"
#include "platform/MediaClipsTest.h"
#include "support/TaskWait.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace {

// A download that lands in `path` with `body`, block by block, as the transfer's worker hands it
// to the check: the length it announces, then each block once it is in the file, then its end.
struct Landing {
    qint64 announced;
    qsizetype blockBytes = 4096;
    bool complete = true;
};

class GrowingVideoCheckTest : public MediaClipsTest {
protected:
    std::optional<bool> checkWhileLanding(const QByteArray& body, const Landing& landing)
    {
        const QString path = folder_.file(QStringLiteral("landing.mp4"));
        GrowingVideoCheck check(path);
        const std::shared_ptr<HttpBodyTap> tap = check.tap();
        std::thread worker([&] {
            QFile file(path);
            if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
                tap->transferEnded(false);
                return;
            }
            tap->bodyStarted(file.handle(), landing.announced);
            for (qsizetype offset = 0; offset < body.size(); offset += landing.blockBytes) {
                const QByteArray block = body.mid(offset, landing.blockBytes);
                file.write(block);
                file.flush();
                tap->bodyWritten(block);
            }
            tap->transferEnded(landing.complete);
        });
        // As a download asks for it: once the transfer told its end.
        worker.join();
        return waitForTask(check.verdict());
    }

    // What the check of the stored file says of `body`.
    bool storedFilePlaysToEnd(const QByteArray& body)
    {
        const QString path = folder_.file(QStringLiteral("stored.mp4"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(body);
        file.close();
        try {
            return tools_.playsToEnd(path);
        } catch (const MediaError&) {
            return false;
        }
    }

    static QByteArray bytesOf(const QString& name)
    {
        QFile file(clip(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

// Read as it lands, a body gets the very verdict its stored file gets: whole videos of every
// layout pass; a cut one, a damaged one, or none at all fails, however the bytes arrive.
TEST_F(GrowingVideoCheckTest, TheVerdictWhileLandingIsTheStoredFilesVerdict)
{
    const QByteArray indexLast = bytesOf(QStringLiteral("clip.mp4"));
    const QByteArray indexFirst = bytesOf(QStringLiteral("index-first.mp4"));
    const QByteArray matroska = bytesOf(QStringLiteral("clip.mkv"));
    const QByteArray fragmented = bytesOf(QStringLiteral("fragmented.mp4"));
    QByteArray scrambled = indexFirst;
    for (qsizetype i = scrambled.size() / 3; i < scrambled.size() / 3 + 2048; ++i)
        scrambled[i] = char(0xA5 ^ i);
    QByteArray damagedIndex = indexLast;
    damagedIndex.truncate(damagedIndex.size() - 64);
    damagedIndex.append(64, '\xff');
    const struct {
        const char* name;
        QByteArray body;
        bool playsToEnd;
        bool lengthAnnounced = true;
    } cases[] = {
        {"index first, whole", indexFirst, true},
        {"index first, whole, no length", indexFirst, true, false},
        {"index first, cut in its last packet", indexFirst.left(indexFirst.size() - 8), false},
        {"index first, cut halfway", indexFirst.left(indexFirst.size() / 2), false},
        {"index first, cut halfway, no length", indexFirst.left(indexFirst.size() / 2), false, false},
        {"index first, scrambled a third in", scrambled, storedFilePlaysToEnd(scrambled)},
        {"index last, whole", indexLast, true},
        {"index last, cut before its index", indexLast.left(indexLast.size() * 9 / 10), false},
        {"index last, the end of its index overwritten", damagedIndex, storedFilePlaysToEnd(damagedIndex)},
        {"fragmented, whole", fragmented, true},
        {"fragmented, cut halfway", fragmented.left(fragmented.size() / 2), false},
        {"matroska, whole", matroska, true},
        {"matroska, cut halfway", matroska.left(matroska.size() / 2), false},
        {"sound only", bytesOf(QStringLiteral("audio.m4a")), false},
        {"a web page", QByteArray("<html><body>Sign in to continue</body></html>"), false},
        {"nothing", QByteArray(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(storedFilePlaysToEnd(c.body), c.playsToEnd);
        for (const qsizetype blockBytes : {qsizetype(1000), qsizetype(256 << 10)}) {
            SCOPED_TRACE(blockBytes);
            const Landing landing{c.lengthAnnounced ? c.body.size() : -1, blockBytes};
            EXPECT_EQ(checkWhileLanding(c.body, landing), std::optional<bool>(c.playsToEnd));
        }
    }
}

// The verdict vouches only for what was read: after a failed transfer (which may have
// written every byte) there is none. (A file that ends at another size than the one the reader
// was given: GrowingFileTest.)
TEST_F(GrowingVideoCheckTest, NoVerdictAfterAFailedTransfer)
{
    const QByteArray body = bytesOf(QStringLiteral("index-first.mp4"));
    for (const qint64 announced : {body.size(), qint64(-1)}) {
        SCOPED_TRACE(announced);
        EXPECT_EQ(checkWhileLanding(body, {announced, 4096, false}), std::nullopt);
    }
}

// A check given up mid-transfer (the download was abandoned) ends its reading at once.
TEST_F(GrowingVideoCheckTest, ACheckGivenUpWhileWaitingEnds)
{
    const QString path = folder_.file(QStringLiteral("abandoned.mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
    const QByteArray start = bytesOf(QStringLiteral("index-first.mp4")).left(4096);
    file.write(start);
    file.flush();
    {
        GrowingVideoCheck check(path);
        check.tap()->bodyStarted(file.handle(), 1 << 20);
        check.tap()->bodyWritten(start);
        // Gone while its demuxer waits for bytes that never come: the destructor must not hang.
    }
    SUCCEED();
}

} // namespace
