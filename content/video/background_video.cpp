// Writes the video background of "data/backgrounds/video/": slow, soft colour waves
// whose motion is periodic over the clip, so that it loops without a jump. MPEG-4
// Part 2 in AVI, encoded single-threaded with bit-exact flags so two builds write the
// same bytes. Usage: velorin_background_video <output file>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstdio>

#include "content/video/background_video.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// One frame in YUV 4:2:0; phase runs 0..1 over the clip.
void Paint(AVFrame* f, double phase) {
  const double a = kTwoPi * phase;
  for (int y = 0; y < bgvideo::kHeight; ++y) {
    for (int x = 0; x < bgvideo::kWidth; ++x) {
      const double u = static_cast<double>(x) / bgvideo::kWidth, v = static_cast<double>(y) / bgvideo::kHeight;
      const double wave = std::sin(6 * u + 2 * std::sin(3 * v + a) + a) + std::sin(5 * v - a + std::cos(4 * u - a));
      f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(70 + 30 * wave);
    }
  }
  for (int y = 0; y < bgvideo::kHeight / 2; ++y) {
    for (int x = 0; x < bgvideo::kWidth / 2; ++x) {
      const double u = 2.0 * x / bgvideo::kWidth, v = 2.0 * y / bgvideo::kHeight;
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(150 + 25 * std::sin(3 * u + a));
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(110 + 25 * std::cos(3 * v - a));
    }
  }
}

bool Send(AVCodecContext* codec, AVFormatContext* out, AVStream* stream, AVFrame* frame) {
  if (avcodec_send_frame(codec, frame) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  bool ok = true;
  while (true) {
    const int r = avcodec_receive_packet(codec, packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
    if (r < 0) { ok = false; break; }
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    if (av_interleaved_write_frame(out, packet) < 0) { ok = false; break; }
  }
  av_packet_free(&packet);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVFormatContext* out = nullptr;
  if (!encoder || avformat_alloc_output_context2(&out, nullptr, "avi", argv[1]) < 0) {
    std::fprintf(stderr, "no MPEG-4 encoder or AVI muxer\n");
    return 1;
  }
  out->flags |= AVFMT_FLAG_BITEXACT;
  AVStream* stream = avformat_new_stream(out, nullptr);
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  codec->width = bgvideo::kWidth;
  codec->height = bgvideo::kHeight;
  codec->pix_fmt = AV_PIX_FMT_YUV420P;
  codec->time_base = AVRational{1, bgvideo::kFramesPerSecond};
  codec->framerate = AVRational{bgvideo::kFramesPerSecond, 1};
  codec->gop_size = bgvideo::kFramesPerSecond;
  codec->max_b_frames = 0;
  codec->bit_rate = 2000000;
  codec->thread_count = 1;
  codec->flags |= AV_CODEC_FLAG_BITEXACT;
  if (out->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  bool ok = avcodec_open2(codec, encoder, nullptr) >= 0 &&
            avcodec_parameters_from_context(stream->codecpar, codec) >= 0;
  stream->time_base = codec->time_base;
  ok = ok && avio_open(&out->pb, argv[1], AVIO_FLAG_WRITE) >= 0;
  ok = ok && avformat_write_header(out, nullptr) >= 0;
  AVFrame* frame = av_frame_alloc();
  frame->format = codec->pix_fmt;
  frame->width = codec->width;
  frame->height = codec->height;
  ok = ok && av_frame_get_buffer(frame, 0) >= 0;
  for (int i = 0; ok && i < bgvideo::kFrames; ++i) {
    ok = av_frame_make_writable(frame) >= 0;
    Paint(frame, static_cast<double>(i) / bgvideo::kFrames);
    frame->pts = i;
    ok = ok && Send(codec, out, stream, frame);
  }
  ok = ok && Send(codec, out, stream, nullptr);
  ok = ok && av_write_trailer(out) >= 0;
  av_frame_free(&frame);
  avcodec_free_context(&codec);
  if (out->pb) avio_closep(&out->pb);
  avformat_free_context(out);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", argv[1]);
  return ok ? 0 : 1;
}
