#include "foundation/Paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

// A port of 127.0.0.1 that no one answers on while it is held: bound, never listening, so a
// connection to it is refused at once. 0 when none could be had.
class RefusingPort {
public:
    RefusingPort()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort()
    {
        if (socket_ >= 0)
            ::close(socket_);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    int port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// Every user folder of this test program lives in one temporary folder, so a shared service
// made on first use (and kept until exit) never reaches the user's real files; each test still
// moves the roots again with its own TempFolder. The outside services of a test that names none
// of its own are on a port no one answers, never the built-in address a running program (the
// demo) listens on.
class AppTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        paths_ = std::make_unique<Paths::Override>(folder_.path());
        ASSERT_NE(port_.port(), 0) << "no free port";
        const QByteArray host = "https://127.0.0.1:" + QByteArray::number(port_.port());
        qputenv("QUORVELLE_BACKEND_URL", host + "/functions/v1");
        qputenv("QUORVELLE_ANALYTICS_URL", host);
        qputenv("QUORVELLE_UPDATE_FEED_URL", host + "/appcast.xml");
    }
    void TearDown() override { paths_.reset(); }

private:
    QTemporaryDir folder_;
    std::unique_ptr<Paths::Override> paths_;
    RefusingPort port_;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new AppTestEnvironment);

} // namespace
