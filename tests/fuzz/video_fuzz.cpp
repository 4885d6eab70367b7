// The video source over any bytes: the bytes are written to a file that the source
// opens; an opened video is run on a hand-moved clock for a bounded number of frame
// steps, seeked and closed. Nothing may read outside its buffers, hang, or hand out a
// frame whose size disagrees with the video's.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/video/video_source.h"

namespace {

const std::string& VideoPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/velorin_video_fuzz_" + std::to_string(getpid()) + ".bin";
  }();
  static const bool cleanup = [] { return std::atexit([] { std::remove(path.c_str()); }) == 0; }();
  (void)cleanup;
  return path;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void CheckFrame(const platform::video::VideoSource& source, const platform::video::Frame* frame) {
  if (!frame) return;
  if (frame->width != source.Width() || frame->height != source.Height()) __builtin_trap();
  if (frame->rgba.size() != size_t(frame->width) * size_t(frame->height) * 4) __builtin_trap();
  if (frame->timeMs < 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteFile(VideoPath(), data, size)) __builtin_trap();
  int64_t now = 0;
  platform::video::SourceOptions options;
  options.clockMs = [&now] { return now; };
  options.queueFrames = 2;
  platform::video::OpenResult result;
  auto source = platform::video::VideoSource::Open(VideoPath(), options, result);
  if (!source) {
    if (result.error == platform::video::OpenError::kNone) __builtin_trap();
    return 0;
  }
  const int w = source->Width(), h = source->Height();
  if (w < platform::video::kMinimumSide || h < platform::video::kMinimumSide || w > platform::video::kMaximumSide ||
      h > platform::video::kMaximumSide || int64_t(w) * h > platform::video::kMaximumPixels) {
    __builtin_trap();
  }
  CheckFrame(*source, source->Service());
  source->Run();
  for (int step = 0; step < 40; ++step) {
    now += 40;
    CheckFrame(*source, source->Service());
    if (step == 20) source->Seek(now / 3);
    if (step == 30) source->Pause();
  }
  source->Stop();
  CheckFrame(*source, source->Service());
  return 0;  // the destructor joins the decoder thread
}
