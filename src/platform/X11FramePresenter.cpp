#include "platform/X11FramePresenter.h"

#include "platform/VideoFrameBuffer.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {
template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

// True when the server stores pixels of `depth` as 32-bit words in our byte order, as
// VideoFrameBuffer holds them.
bool takesOurPixels(xcb_connection_t* connection, quint8 depth)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const bool ourOrder = (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) == (Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
    if (!ourOrder || (depth != 24 && depth != 32))
        return false;
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    const xcb_format_t* end = formats + xcb_setup_pixmap_formats_length(setup);
    return std::any_of(formats, end, [depth](const xcb_format_t& format) {
        return format.depth == depth && format.bits_per_pixel == 32 && format.scanline_pad == 32;
    });
}
} // namespace

std::unique_ptr<X11FramePresenter> X11FramePresenter::create(QWindow* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (!extension || !extension->present)
        return nullptr;
    const ReplyPointer<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr), &std::free);
    // File descriptors came with version 1.2.
    if (!version || (version->major_version == 1 && version->minor_version < 2))
        return nullptr;
    const auto id = xcb_window_t(window->winId());
    const ReplyPointer<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free);
    if (!geometry || !takesOurPixels(connection, geometry->depth))
        return nullptr;
    return std::unique_ptr<X11FramePresenter>(new X11FramePresenter(connection, id, geometry->depth));
}

X11FramePresenter::X11FramePresenter(xcb_connection_t* connection, quint32 window, quint8 depth)
    : connection_(connection), window_(window), graphics_(xcb_generate_id(connection)), depth_(depth)
{
    // No exposure events for the parts of the window a put leaves uncovered: Qt repaints those.
    const uint32_t noExposures = 0;
    xcb_create_gc(connection_, graphics_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    // Until a frame comes, and where an exposure or a larger size uncovers what no frame has
    // covered yet, the server shows black: Qt need not paint the window for that. Opaque black
    // on a window with alpha.
    const uint32_t black = depth_ == 32 ? 0xFF000000 : 0;
    xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(connection_, 0, window_, 0, 0, 0, 0);
    xcb_flush(connection_);
}

X11FramePresenter::~X11FramePresenter()
{
    for (const Segment& segment : segments_)
        xcb_shm_detach(connection_, segment.id);
    xcb_free_gc(connection_, graphics_);
    xcb_flush(connection_);
}

bool X11FramePresenter::present(const std::shared_ptr<const VideoFrameBuffer>& frame, QPoint at)
{
    detachUnused();
    const Segment* segment = frame ? segmentFor(frame) : nullptr;
    if (!segment)
        return false;
    const QSize size = frame->size();
    xcb_shm_put_image(connection_, window_, graphics_, uint16_t(frame->stride() / 4), uint16_t(size.height()), 0, 0,
                      uint16_t(size.width()), uint16_t(size.height()), int16_t(at.x()), int16_t(at.y()), depth_,
                      XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment->id, 0);
    xcb_flush(connection_);
    return true;
}

const X11FramePresenter::Segment* X11FramePresenter::segmentFor(const std::shared_ptr<const VideoFrameBuffer>& frame)
{
    const auto known = std::find_if(segments_.cbegin(), segments_.cend(),
                                    [&frame](const Segment& segment) { return segment.key == frame.get(); });
    if (known != segments_.cend())
        return &*known;
    // The server takes a copy of the descriptor, and xcb closes the one it sends.
    const int fd = dup(frame->fileDescriptor());
    if (fd < 0)
        return nullptr;
    const xcb_shm_seg_t id = xcb_generate_id(connection_);
    const xcb_void_cookie_t attached = xcb_shm_attach_fd_checked(connection_, id, fd, 1);
    if (const ReplyPointer<xcb_generic_error_t> error(xcb_request_check(connection_, attached), &std::free); error)
        return nullptr;
    segments_.push_back({frame, frame.get(), id});
    return &segments_.back();
}

void X11FramePresenter::detachUnused()
{
    // A frame's memory goes when the player lets go of it (a new size, a new player); its
    // address may come back for a new frame, so an expired entry never matches again.
    const auto unused = std::remove_if(segments_.begin(), segments_.end(), [this](const Segment& segment) {
        if (!segment.frame.expired())
            return false;
        xcb_shm_detach(connection_, segment.id);
        return true;
    });
    segments_.erase(unused, segments_.end());
}
