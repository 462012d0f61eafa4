#pragma once

#include "support/TestHttpsServer.h"

#include <httplib.h>

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <condition_variable>
#include <mutex>

// An asset host whose master videos are served slowly: every reply to
// "/wallpaper/<key>/master.mp4" is held until release(), so a test can act while a download is
// under way. The first `failures` requests are answered 500 at once. Its handlers run on the
// server's threads; the destructor releases what it holds.
class HeldMasterServer {
public:
    HeldMasterServer(QByteArray video, int failures) : video_(video.toStdString()), failures_(failures)
    {
        server_.routes().Get(R"(/wallpaper/(\d+)/master\.mp4)", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex_);
            if (++requests_ <= failures_) {
                response.status = 500;
                return;
            }
            ++held_;
            released_.wait(lock, [this] { return open_; });
            if (releasedStatus_ != 200) {
                response.status = releasedStatus_;
                return;
            }
            response.set_content(video_, "video/mp4");
        });
        server_.start();
    }
    ~HeldMasterServer() { release(); }

    QUrl masterUrl(qint64 key) const
    {
        return server_.url(QStringLiteral("/wallpaper/%1/master.mp4").arg(key));
    }
    int requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Replies that are being held, or were until release().
    int held() const
    {
        std::lock_guard lock(mutex_);
        return held_;
    }
    // Answers what is held, and from now on every request at once: with the video, or with
    // `status` and no body (a download that fails late).
    void release(int status = 200)
    {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
            releasedStatus_ = status;
        }
        released_.notify_all();
    }

private:
    const std::string video_;
    const int failures_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    int requests_ = 0;
    int held_ = 0;
    bool open_ = false;
    int releasedStatus_ = 200;
    // Last: stopped, and its handler threads joined, before the fields above go.
    TestHttpsServer server_;
};
