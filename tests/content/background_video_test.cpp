// The generated video background decodes with FFmpeg's libraries: one MPEG-4 video
// stream of the size it was made at, every frame present, and its first and last
// frames close (the motion loops back without a jump).
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "content/video/background_video.h"

namespace {

std::string VideoPath() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return std::string(run && *run ? run : VELORIN_TEST_RUN_DIR) + "/data/backgrounds/video/" + bgvideo::kFileName;
}

// Mean absolute difference of two luma planes, 0..255.
double LumaDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / static_cast<double>(a.size());
}

TEST(BackgroundVideo, DecodesEveryFrameAtItsSizeAndLoops) {
  AVFormatContext* format = nullptr;
  ASSERT_EQ(avformat_open_input(&format, VideoPath().c_str(), nullptr, nullptr), 0) << VideoPath();
  ASSERT_GE(avformat_find_stream_info(format, nullptr), 0);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  ASSERT_GE(index, 0);
  const AVCodecParameters* params = format->streams[index]->codecpar;
  EXPECT_EQ(params->codec_id, AV_CODEC_ID_MPEG4);
  const AVCodec* decoder = avcodec_find_decoder(params->codec_id);
  ASSERT_NE(decoder, nullptr);
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  ASSERT_GE(avcodec_parameters_to_context(codec, params), 0);
  ASSERT_GE(avcodec_open2(codec, decoder, nullptr), 0);

  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int frames = 0;
  std::vector<uint8_t> first, last;
  auto drain = [&] {
    while (avcodec_receive_frame(codec, frame) == 0) {
      ++frames;
      EXPECT_EQ(frame->width, bgvideo::kWidth);
      EXPECT_EQ(frame->height, bgvideo::kHeight);
      std::vector<uint8_t> luma;
      for (int y = 0; y < frame->height; ++y) {
        luma.insert(luma.end(), frame->data[0] + y * frame->linesize[0], frame->data[0] + y * frame->linesize[0] + frame->width);
      }
      (first.empty() ? first : last) = std::move(luma);
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) {
      EXPECT_GE(avcodec_send_packet(codec, packet), 0);
      drain();
    }
    av_packet_unref(packet);
  }
  avcodec_send_packet(codec, nullptr);
  drain();
  EXPECT_EQ(frames, bgvideo::kFrames);
  ASSERT_FALSE(last.empty());
  // Neighbouring frames of slow motion differ little; the last leads into the first.
  EXPECT_LT(LumaDifference(last, first), 6.0);
  EXPECT_GT(LumaDifference(last, first), 0.0) << "a still picture is no animation";

  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
}

}  // namespace
