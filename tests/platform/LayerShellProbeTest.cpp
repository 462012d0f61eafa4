#include "platform/LayerShellProbe.h"

#include <wayland-server.h>

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

// A compositor that offers nothing but the globals it is given, by name, served on a thread of
// its own in a runtime folder of the test's.
class GlobalsOnlyCompositor {
public:
    static constexpr const char* kSocket = "quorvelle-probe";

    explicit GlobalsOnlyCompositor(const QList<QByteArray>& names) : names_(names), display_(wl_display_create())
    {
        // Reserved: the globals point at their interfaces.
        interfaces_.reserve(size_t(names_.size()));
        for (const QByteArray& name : names_) {
            interfaces_.push_back(wl_interface{name.constData(), 1, 0, nullptr, 0, nullptr});
            wl_global_create(display_, &interfaces_.back(), 1, &interfaces_.back(), bind);
        }
        listening_ = wl_display_add_socket(display_, kSocket) == 0;
        if (listening_)
            serving_ = std::thread([this] { wl_display_run(display_); });
    }
    ~GlobalsOnlyCompositor()
    {
        if (serving_.joinable()) {
            wl_display_terminate(display_);
            serving_.join();
        }
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
    }

    bool isListening() const { return listening_; }

private:
    static void bind(wl_client* client, void* interface, uint32_t version, uint32_t id)
    {
        wl_resource_create(client, static_cast<const wl_interface*>(interface), int(version), id);
    }

    QList<QByteArray> names_;
    std::vector<wl_interface> interfaces_;
    wl_display* display_;
    bool listening_ = false;
    std::thread serving_;
};

// The runtime folder both ends look in, for the life of a case.
class LayerShellProbeTest : public ::testing::Test {
protected:
    LayerShellProbeTest() : previous_(qgetenv("XDG_RUNTIME_DIR")) { qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit()); }
    ~LayerShellProbeTest() override { qputenv("XDG_RUNTIME_DIR", previous_); }

    QTemporaryDir runtime_;
    QByteArray previous_;
};

struct Offer {
    const char* name;
    QList<QByteArray> globals;
    bool offered;
};

class LayerShellOfferTest : public LayerShellProbeTest, public ::testing::WithParamInterface<Offer> {};

TEST_P(LayerShellOfferTest, SaysWhetherTheLayerShellIsAmongTheGlobals)
{
    const GlobalsOnlyCompositor compositor(GetParam().globals);
    ASSERT_TRUE(compositor.isListening());
    EXPECT_EQ(LayerShellProbe::offered(GlobalsOnlyCompositor::kSocket), GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(Rows, LayerShellOfferTest,
    ::testing::Values(Offer{"Nothing", {}, false},
        Offer{"DesktopShellOnly", {"wl_compositor", "wl_shm", "xdg_wm_base", "wl_output"}, false},
        Offer{"ALikeName", {"wl_compositor", "zwlr_layer_surface_v1", "zwlr_layer_shell_v2"}, false},
        Offer{"LayerShell", {"wl_compositor", "wl_shm", "zwlr_layer_shell_v1", "wl_output"}, true},
        Offer{"LayerShellFirst", {"zwlr_layer_shell_v1"}, true}),
    [](const ::testing::TestParamInfo<Offer>& row) { return std::string(row.param.name); });

TEST_F(LayerShellProbeTest, NoCompositorIsNoAnswer)
{
    EXPECT_EQ(LayerShellProbe::offered(GlobalsOnlyCompositor::kSocket), std::nullopt);
}

} // namespace
