#include "platform/HttpWorker.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

// Every transfer's reply, file and writes live on the worker: its jobs run there, one after
// the other in the order posted, all with the same manager, never on the GUI thread.
TEST(HttpWorkerTest, JobsRunInOrderOnOneThreadThatIsNotTheGuiThread)
{
    struct Run {
        int job;
        QThread* thread;
        QNetworkAccessManager* manager;
    };
    std::mutex mutex;
    std::vector<Run> runs;
    {
        HttpWorker worker;
        for (int job = 0; job < 5; ++job) {
            worker.post([&, job](QNetworkAccessManager& manager) {
                std::lock_guard lock(mutex);
                runs.push_back({job, QThread::currentThread(), &manager});
            });
        }
        ASSERT_TRUE(QTest::qWaitFor([&] {
            std::lock_guard lock(mutex);
            return runs.size() == 5;
        }));
    }
    for (int job = 0; job < 5; ++job) {
        SCOPED_TRACE(job);
        EXPECT_EQ(runs[job].job, job);
        EXPECT_EQ(runs[job].thread, runs[0].thread);
        EXPECT_EQ(runs[job].manager, runs[0].manager);
        EXPECT_NE(runs[job].thread, QCoreApplication::instance()->thread());
    }
}

} // namespace
