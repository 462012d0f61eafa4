#include "platform/WaylandConnection.h"

#include "platform/VideoFrameBuffer.h"
#include "platform/WaylandDesktopBackground.h"

#include <wayland-server.h>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// Made by wayland-scanner from the project's layer-shell description (the client header cannot
// share a file with the server's).
extern "C" const wl_interface zwlr_layer_shell_v1_interface;

namespace {

// A compositor on a thread of its own, in the test's runtime folder, that offers the globals it
// is given by name. The surface globals it knows (compositor, shared memory, layer shell)
// accept every request and make the objects asked for, and configure each layer surface at
// 640x360; outputs, added and removed while it runs, tell their name. Any other name is a global
// of that name that takes no request. It counts the clients' buffers that are alive.
class TinyCompositor {
public:
    static constexpr const char* kSocket = "quorvelle-tiny";

    explicit TinyCompositor(const QList<QByteArray>& names) : display_(wl_display_create())
    {
        for (const QByteArray& name : names) {
            const wl_interface* known = knownInterface(name);
            if (!known)
                known = &unknown_.emplace_back(wl_interface{names_.emplace_back(name).constData(), 1, 0, nullptr, 0, nullptr});
            Global& global = globals_.emplace_back(Global{this, known, {}});
            wl_global_create(display_, known, known->version, &global, bind);
        }
        listening_ = wl_display_add_socket(display_, kSocket) == 0 && pipe2(wake_, O_CLOEXEC) == 0;
        if (!listening_)
            return;
        wakeSource_ = wl_event_loop_add_fd(wl_display_get_event_loop(display_), wake_[0], WL_EVENT_READABLE, runQueued, this);
        serving_ = std::thread([this] { wl_display_run(display_); });
    }
    ~TinyCompositor()
    {
        if (serving_.joinable()) {
            wl_display_terminate(display_);
            serving_.join();
        }
        if (wakeSource_)
            wl_event_source_remove(wakeSource_);
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
        for (const int fd : wake_) {
            if (fd >= 0)
                close(fd);
        }
    }

    bool isListening() const { return listening_; }
    int liveBuffers() const { return liveBuffers_; }

    void addOutput(const QByteArray& name)
    {
        onServer([this, name] {
            Global& global = globals_.emplace_back(Global{this, &wl_output_interface, name});
            outputs_[name] = wl_global_create(display_, &wl_output_interface, 4, &global, bind);
        });
    }
    void removeOutput(const QByteArray& name)
    {
        onServer([this, name] {
            wl_global_destroy(outputs_.at(name));
            outputs_.erase(name);
        });
    }

private:
    struct Global {
        TinyCompositor* self;
        const wl_interface* interface;
        QByteArray outputName;
    };

    static const wl_interface* knownInterface(const QByteArray& name)
    {
        for (const wl_interface* known : {&wl_compositor_interface, &wl_shm_interface, &zwlr_layer_shell_v1_interface}) {
            if (name == known->name)
                return known;
        }
        return nullptr;
    }

    wl_resource* make(wl_client* client, const wl_interface* interface, int version, uint32_t id)
    {
        wl_resource* resource = wl_resource_create(client, interface, version, id);
        const bool buffer = interface == &wl_buffer_interface;
        liveBuffers_ += buffer ? 1 : 0;
        wl_resource_set_dispatcher(resource, dispatch, this, this, buffer ? bufferGone : nullptr);
        return resource;
    }
    static void bufferGone(wl_resource* buffer)
    {
        auto* self = static_cast<TinyCompositor*>(const_cast<void*>(wl_resource_get_user_data(buffer)));
        --self->liveBuffers_;
    }
    static void bind(wl_client* client, void* data, uint32_t version, uint32_t id)
    {
        const auto* global = static_cast<const Global*>(data);
        wl_resource* resource = global->self->make(client, global->interface, int(version), id);
        if (global->interface == &wl_output_interface) {
            wl_output_send_name(resource, global->outputName.constData());
            wl_output_send_done(resource);
        }
    }

    // Every request: the objects it asks for are made, its file descriptors closed, and a
    // destructor destroys.
    static int dispatch(const void* data, void* target, uint32_t, const wl_message* message, wl_argument* arguments)
    {
        auto* self = static_cast<TinyCompositor*>(const_cast<void*>(data));
        auto* resource = static_cast<wl_resource*>(target);
        int index = 0;
        for (const char* type = message->signature; *type; ++type) {
            if (std::strchr("0123456789?", *type))
                continue;
            if (*type == 'n') {
                wl_resource* made = self->make(wl_resource_get_client(resource), message->types[index], wl_resource_get_version(resource),
                                               arguments[index].n);
                if (std::strcmp(message->name, "get_layer_surface") == 0)
                    wl_resource_post_event(made, 0, 1u, 640u, 360u); // configure: serial, width, height
            } else if (*type == 'h') {
                close(arguments[index].h);
            }
            ++index;
        }
        if (std::strcmp(message->name, "destroy") == 0 || std::strcmp(message->name, "release") == 0)
            wl_resource_destroy(resource);
        return 0;
    }

    void onServer(std::function<void()> work)
    {
        {
            const std::lock_guard lock(queueLock_);
            queue_.push_back(std::move(work));
        }
        const char byte = 0;
        EXPECT_EQ(write(wake_[1], &byte, 1), 1);
    }
    static int runQueued(int fd, uint32_t, void* data)
    {
        auto* self = static_cast<TinyCompositor*>(data);
        // One byte a job; the loop calls again while bytes are left.
        char byte;
        if (read(fd, &byte, 1) != 1)
            return 0;
        std::function<void()> work;
        {
            const std::lock_guard lock(self->queueLock_);
            work = std::move(self->queue_.front());
            self->queue_.pop_front();
        }
        work();
        wl_display_flush_clients(self->display_);
        return 0;
    }

    wl_display* display_;
    std::deque<QByteArray> names_;
    std::deque<wl_interface> unknown_;
    std::deque<Global> globals_;
    std::map<QByteArray, wl_global*> outputs_;
    std::atomic<int> liveBuffers_ = 0;
    int wake_[2] = {-1, -1};
    wl_event_source* wakeSource_ = nullptr;
    std::mutex queueLock_;
    std::deque<std::function<void()>> queue_;
    bool listening_ = false;
    std::thread serving_;
};

// The runtime folder both ends look in, for the life of a case.
class WaylandConnectionTest : public ::testing::Test {
protected:
    WaylandConnectionTest() : previous_(qgetenv("XDG_RUNTIME_DIR")) { qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit()); }
    ~WaylandConnectionTest() override { qputenv("XDG_RUNTIME_DIR", previous_); }

    QTemporaryDir runtime_;
    QByteArray previous_;
};

struct Offer {
    const char* name;
    QList<QByteArray> globals;
    bool canShowBackgrounds;
};

class WaylandConnectionOfferTest : public WaylandConnectionTest, public ::testing::WithParamInterface<Offer> {};

// Backgrounds need the layer shell itself (GNOME's compositor has none), and surfaces and
// shared memory to fill them.
TEST_P(WaylandConnectionOfferTest, ShowsBackgroundsOnlyWithTheLayerShell)
{
    const TinyCompositor compositor(GetParam().globals);
    ASSERT_TRUE(compositor.isListening());
    const std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect(QString::fromUtf8(TinyCompositor::kSocket));
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->canShowBackgrounds(), GetParam().canShowBackgrounds);
}

INSTANTIATE_TEST_SUITE_P(Rows, WaylandConnectionOfferTest,
    ::testing::Values(Offer{"Nothing", {}, false},
        Offer{"DesktopShellOnly", {"wl_compositor", "wl_shm", "xdg_wm_base", "wl_output"}, false},
        Offer{"ALikeName", {"wl_compositor", "wl_shm", "zwlr_layer_surface_v1", "zwlr_layer_shell_v2"}, false},
        Offer{"LayerShell", {"wl_compositor", "wl_shm", "zwlr_layer_shell_v1", "wl_output"}, true},
        Offer{"LayerShellFirst", {"zwlr_layer_shell_v1", "wl_shm", "wl_compositor"}, true},
        Offer{"LayerShellWithoutSharedMemory", {"wl_compositor", "zwlr_layer_shell_v1"}, false}),
    [](const ::testing::TestParamInfo<Offer>& row) { return std::string(row.param.name); });

// An output that goes away takes the surface on it and its buffers along; when it comes back,
// a new surface is made there.
TEST_F(WaylandConnectionTest, AnOutputThatGoesTakesItsBuffersAlong)
{
    TinyCompositor compositor({"wl_compositor", "wl_shm", "zwlr_layer_shell_v1"});
    ASSERT_TRUE(compositor.isListening());
    compositor.addOutput("OUT-1");
    const std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect(QString::fromUtf8(TinyCompositor::kSocket));
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(connection->canShowBackgrounds());
    ASSERT_TRUE(QTest::qWaitFor([&] { return connection->output(QStringLiteral("OUT-1")) != nullptr; }, 10'000));

    WaylandDesktopBackground background(*connection);
    background.setOutputName(QStringLiteral("OUT-1"));
    background.setShown(true);
    const std::shared_ptr<VideoFrameBuffer> frame = VideoFrameBuffer::create(QSize(640, 360));
    frame->image(1.0).fill(Qt::red);
    const auto showsAFrame = [&] {
        return QTest::qWaitFor([&] { return background.isSeen(); }, 10'000) && background.present(frame, QPoint())
            && QTest::qWaitFor([&] { return compositor.liveBuffers() == 1; }, 10'000);
    };
    ASSERT_TRUE(showsAFrame());

    compositor.removeOutput("OUT-1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !background.hasSurface(); }, 10'000));
    EXPECT_FALSE(background.isSeen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return compositor.liveBuffers() == 0; }, 10'000)) << "the buffers outlive their output";
    EXPECT_FALSE(background.present(frame, QPoint()));

    compositor.addOutput("OUT-1");
    EXPECT_TRUE(showsAFrame()) << "the output came back without a surface";
}

TEST_F(WaylandConnectionTest, NoCompositorIsNoConnection)
{
    EXPECT_EQ(WaylandConnection::connect(QString::fromUtf8(TinyCompositor::kSocket)), nullptr);
}

} // namespace
