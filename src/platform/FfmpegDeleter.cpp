#include "platform/FfmpegDeleter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <new>

void FfmpegDeleter::operator()(AVFormatContext* context) const { avformat_close_input(&context); }
void FfmpegDeleter::operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
void FfmpegDeleter::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void FfmpegDeleter::operator()(AVPacket* packet) const { av_packet_free(&packet); }
void FfmpegDeleter::operator()(SwsContext* context) const { sws_freeContext(context); }

FramePtr allocateFrame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketPtr allocatePacket()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}
