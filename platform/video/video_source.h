// A video file decoded on a thread of its own into CPU frames that the main thread
// shows. Any container and codec the FFmpeg libraries read will do; audio tracks are
// ignored (the game always plays its videos muted).
//
// The source keeps a play position in milliseconds that follows an injectable clock
// while running. The decoder thread stays a few frames ahead of that position in a
// small bounded queue; the owner's thread calls Service() once per frame and gets
// the newest frame whose time has come, without waiting for the decoder.
//
// Run states: stopped (at the range start), paused, running. A running source that
// reaches the end of its range (or of the file) is "ended": it keeps the last frame
// and reports one end event; a seek or a stop leaves the end. A decoding error
// after opening makes the source "failed": it keeps the last frame and plays no more.
//
// Every call but the constructor-side Open belongs to one owner thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::video {

// Why a file could not be opened as a video.
enum class OpenError {
  kNone,
  kNotFound,        // no such file, or it cannot be read
  kUnknownFormat,   // not a container FFmpeg recognises (also an empty file)
  kNoVideoStream,   // a container without a video track
  kNoDecoder,       // the video track's codec cannot be decoded here
  kTooSmall,        // narrower or lower than kMinimumSide
  kTooLarge,        // more pixels than the source will hold in memory
  kNoFrame,         // no picture could be decoded (truncated or damaged file)
  kOutOfMemory,
};

enum class RunState { kStopped, kPaused, kRunning };

enum class PlayState { kStopped, kPaused, kRunning, kEnded, kFailed };

inline constexpr int kMinimumSide = 16;
inline constexpr int kMaximumSide = 8192;
inline constexpr int64_t kMaximumPixels = 4096LL * 2304;

// One decoded picture: RGBA bytes (alpha 0xFF), top row first, 4 x width per row.
struct Frame {
  int width = 0;
  int height = 0;
  int64_t timeMs = 0;  // presentation time from the start of the video
  std::vector<uint8_t> rgba;
};

struct OpenResult {
  OpenError error = OpenError::kNone;
  int width = 0;   // the picture size when known (also for kTooSmall / kTooLarge)
  int height = 0;
};

struct SourceOptions {
  // Milliseconds of the play clock; the steady clock when empty.
  std::function<int64_t()> clockMs;
  size_t queueFrames = 3;  // decoded frames held ahead of the play position (1..16)
};

class VideoSource {
 public:
  // Opens the file, decodes its first picture (so a damaged file fails here, not
  // later) and starts the decoder thread. The source starts stopped at 0 ms.
  // Null with result.error set when the file is no usable video.
  static std::unique_ptr<VideoSource> Open(const std::string& path, const SourceOptions& options,
                                           OpenResult& result);
  ~VideoSource();  // stops and joins the decoder thread
  VideoSource(const VideoSource&) = delete;
  VideoSource& operator=(const VideoSource&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int64_t DurationMs() const { return durationMs_; }  // 0 when the container does not say

  // The play range: start and stop in ms; a stop of 0 or less is the end of the file.
  // The position moves to start; the run state stays.
  void SetRange(int64_t startMs, int64_t stopMs);
  void Run();
  void Pause();
  // Stops and moves the position back to the range start.
  void Stop();
  // Moves the position (clamped to 0 and the duration when known); the run state stays.
  void Seek(int64_t positionMs);

  RunState GetRunState() const { return runState_; }
  PlayState GetPlayState() const;
  int64_t PositionMs() const;

  // True once after the source reached the end of its range.
  bool TakeEndEvent();

  // Brings the shown frame up to the play position and detects the end. Returns the
  // newest due frame when it differs from the one returned before, else null. The
  // frame stays valid until the next Service() call or destruction.
  const Frame* Service();
  // The frame shown now (null before the first one arrives).
  const Frame* CurrentFrame() const { return current_.rgba.empty() ? nullptr : &current_; }

  // Counters for tests and benchmarks.
  uint64_t FramesDecoded() const;
  int64_t DecodeNanoseconds() const;  // decode plus conversion time of the thread

 private:
  struct Decoder;
  struct Shared;
  VideoSource() = default;
  int64_t Now() const;
  void RequestSeek(int64_t positionMs);
  void DecoderLoop();

  std::function<int64_t()> clock_;
  int width_ = 0, height_ = 0;
  int64_t durationMs_ = 0;
  int64_t startMs_ = 0, stopMs_ = 0;

  // Owner-thread state.
  RunState runState_ = RunState::kStopped;
  int64_t anchorPositionMs_ = 0;  // position at anchorClockMs_
  int64_t anchorClockMs_ = 0;
  bool ended_ = false;
  bool endEvent_ = false;
  Frame current_;
  bool currentIsNew_ = false;

  std::unique_ptr<Decoder> decoder_;  // touched only by the decoder thread after Open
  std::unique_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace platform::video
