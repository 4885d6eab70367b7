// The test video writer: paints BGRA pictures, converts them to the encoder's pixel
// format with libswscale and muxes the packets with libavformat.
#include "tests/video/video_writer.h"

#include <cstdio>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace videotest {

namespace {

struct Writer {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  AVStream* stream = nullptr;
  bool headerWritten = false;

  ~Writer() {
    if (format && headerWritten) av_write_trailer(format);
    if (format && !(format->oformat->flags & AVFMT_NOFILE)) avio_closep(&format->pb);
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_free_context(format);
  }

  bool Drain() {
    for (;;) {
      const int r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

bool Fail(const char* what) {
  std::fprintf(stderr, "WriteVideo: %s\n", what);
  return false;
}

AVPixelFormat PixelFormatFor(const AVCodec* codec) {
  if (codec->id == AV_CODEC_ID_MJPEG) return AV_PIX_FMT_YUVJ420P;
  if (codec->pix_fmts) {
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
      if (*f == AV_PIX_FMT_YUV420P) return *f;
    }
    return codec->pix_fmts[0];
  }
  return AV_PIX_FMT_YUV420P;
}

}  // namespace

bool WriteVideo(const std::string& path, const ClipLayout& layout, const Painter& paint) {
  av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics would bury the results
  Writer w;
  if (avformat_alloc_output_context2(&w.format, nullptr, layout.container.c_str(), path.c_str()) < 0 || !w.format) {
    return Fail("no such container");
  }
  const AVCodec* encoder = avcodec_find_encoder_by_name(layout.codec.c_str());
  if (!encoder) return Fail("no such encoder");
  w.stream = avformat_new_stream(w.format, nullptr);
  w.codec = avcodec_alloc_context3(encoder);
  w.frame = av_frame_alloc();
  w.packet = av_packet_alloc();
  if (!w.stream || !w.codec || !w.frame || !w.packet) return Fail("out of memory");

  w.codec->width = layout.width;
  w.codec->height = layout.height;
  w.codec->time_base = AVRational{1, layout.fps};
  w.codec->framerate = AVRational{layout.fps, 1};
  w.codec->gop_size = layout.keyframeInterval;
  w.codec->max_b_frames = 0;
  w.codec->bit_rate = layout.bitRate;
  w.codec->pix_fmt = PixelFormatFor(encoder);
  w.codec->thread_count = 1;
  if (encoder->id == AV_CODEC_ID_MJPEG) {
    w.codec->flags |= AV_CODEC_FLAG_QSCALE;
    w.codec->global_quality = FF_QP2LAMBDA * 2;
  }
  if (w.format->oformat->flags & AVFMT_GLOBALHEADER) w.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  if (layout.codec == "libx264") av_dict_set(&options, "preset", "veryfast", 0);
  const int opened = avcodec_open2(w.codec, encoder, &options);
  av_dict_free(&options);
  if (opened < 0) return Fail("encoder refused the settings");
  if (avcodec_parameters_from_context(w.stream->codecpar, w.codec) < 0) return Fail("stream parameters");
  w.stream->time_base = w.codec->time_base;
  w.stream->avg_frame_rate = w.codec->framerate;

  if (!(w.format->oformat->flags & AVFMT_NOFILE) && avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
    return Fail("cannot create the file");
  }
  if (avformat_write_header(w.format, nullptr) < 0) return Fail("header");
  w.headerWritten = true;

  w.frame->format = w.codec->pix_fmt;
  w.frame->width = layout.width;
  w.frame->height = layout.height;
  if (av_frame_get_buffer(w.frame, 0) < 0) return Fail("picture buffer");
  w.scaler = sws_getContext(layout.width, layout.height, AV_PIX_FMT_BGRA, layout.width, layout.height, w.codec->pix_fmt,
                            SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!w.scaler) return Fail("scaler");
  std::vector<uint8_t> bgra(size_t(layout.width) * size_t(layout.height) * 4);
  for (int i = 0; i < layout.frames; ++i) {
    paint(i, bgra.data(), layout.width, layout.height);
    if (av_frame_make_writable(w.frame) < 0) return Fail("picture not writable");
    const uint8_t* planes[1] = {bgra.data()};
    const int strides[1] = {layout.width * 4};
    sws_scale(w.scaler, planes, strides, 0, layout.height, w.frame->data, w.frame->linesize);
    w.frame->pts = i;
    if (avcodec_send_frame(w.codec, w.frame) < 0 || !w.Drain()) return Fail("encoding");
  }
  if (avcodec_send_frame(w.codec, nullptr) < 0 || !w.Drain()) return Fail("flushing");
  return true;
}

Painter SolidColours(std::function<uint32_t(int frame)> colourOf) {
  return [colourOf = std::move(colourOf)](int frame, uint8_t* bgra, int width, int height) {
    const uint32_t c = colourOf(frame);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i) {
      bgra[i * 4 + 0] = uint8_t(c);
      bgra[i * 4 + 1] = uint8_t(c >> 8);
      bgra[i * 4 + 2] = uint8_t(c >> 16);
      bgra[i * 4 + 3] = 0xFF;
    }
  };
}

}  // namespace videotest
