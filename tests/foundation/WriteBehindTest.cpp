#include "foundation/WriteBehind.h"

#include "support/Eventually.h"

#include <QCoreApplication>
#include <QSemaphore>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A store whose writes hold on the worker until the test lets each go, and which records the
// value each write took and each finish it saw.
class WriteBehindTest : public ::testing::Test {
protected:
    WriteBehind& writer()
    {
        if (!writer_)
            writer_ = std::make_unique<WriteBehind>(QStringLiteral("test writer"), [this]() -> WriteBehind::Work {
                taken_.append(value_);
                return [this, value = value_]() -> WriteBehind::Finish {
                    gate_->acquire();
                    return [this, value] { finished_.append(value); };
                };
            });
        return *writer_;
    }

    void change(int value)
    {
        value_ = value;
        writer().request();
    }

    // Shared with the worker, which may still wait on it while the writer goes.
    std::shared_ptr<QSemaphore> gate_ = std::make_shared<QSemaphore>();
    int value_ = 0;
    QList<int> taken_;
    QList<int> finished_;
    std::unique_ptr<WriteBehind> writer_;
};

TEST_F(WriteBehindTest, ChangesDuringAWriteAreFoldedIntoOneMoreWrite)
{
    change(1);
    EXPECT_TRUE(writer().isBusy()) << "the change returned before its write";
    change(2);
    change(3);
    EXPECT_EQ(taken_, QList<int>{1}) << "one write at a time";

    gate_->release();
    ASSERT_EVENTUALLY(taken_.size() == 2, 10'000);
    EXPECT_EQ(taken_, (QList<int>{1, 3})) << "the second write takes the latest value";
    gate_->release();
    ASSERT_EVENTUALLY(!writer().isBusy(), 10'000);
    EXPECT_EQ(finished_, (QList<int>{1, 3}));
}

// The quit, and the owner's end, wait for the write under way and do the one asked for since.
TEST_F(WriteBehindTest, AFlushEndsWithEveryChangeWritten)
{
    struct Case {
        const char* name;
        bool flushByDestruction;
    };
    for (const Case c : {Case{"flush", false}, Case{"destruction", true}}) {
        SCOPED_TRACE(c.name);
        taken_.clear();
        finished_.clear();
        change(1);
        change(2);
        gate_->release(2);
        if (c.flushByDestruction) {
            writer_.reset();
        } else {
            writer().flush();
            EXPECT_FALSE(writer().isBusy());
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(finished_, (QList<int>{1, 2})) << "each write finished once";
        writer_.reset();
    }
}

} // namespace
