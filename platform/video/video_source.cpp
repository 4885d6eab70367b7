// The video source over libavformat, libavcodec and libswscale. The owner thread only
// opens the file and reads finished frames; everything else of FFmpeg runs on the
// decoder thread, which talks to the owner through one mutex.
#include "platform/video/video_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace platform::video {

namespace {

// Bounds that keep a damaged file from keeping the decoder busy for ever.
constexpr int kMaxPacketsPerFrame = 4096;     // packets read without getting a picture
constexpr int kMaxBadPacketsInARow = 256;     // packets the decoder refused, one after another
constexpr int64_t kOpenTimeLimitMs = 20000;   // probing a file on a slow disk
constexpr int64_t kProbeBytes = 8 << 20;
constexpr int64_t kTimeClampMs = int64_t(1) << 50;

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t SteadyNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t ToMs(int64_t ts, AVRational timeBase) {
  if (ts == AV_NOPTS_VALUE) return 0;
  const int64_t ms = av_rescale_q(ts, timeBase, AVRational{1, 1000});
  return std::clamp(ms, -kTimeClampMs, kTimeClampMs);
}

enum class DecodeResult { kFrame, kEnd, kError };

}  // namespace

// FFmpeg's objects of one open file.
struct VideoSource::Decoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwsContext* scaler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* heldFrame = nullptr;  // after a seek: the last picture before the target
  int stream = -1;
  AVRational timeBase{1, 1000};
  int64_t startMs = 0;           // the stream's first time stamp, in ms
  int64_t frameMs = 40;          // one frame's duration
  int64_t lastTimeMs = -1;       // time of the last picture decoded
  bool draining = false;
  std::atomic<bool> interrupt{false};
  int64_t openDeadlineMs = 0;    // 0 once the file is open

  ~Decoder() {
    sws_freeContext(scaler);
    av_frame_free(&heldFrame);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }

  static int InterruptCallback(void* opaque) {
    auto* self = static_cast<Decoder*>(opaque);
    if (self->interrupt.load(std::memory_order_relaxed)) return 1;
    return self->openDeadlineMs != 0 && SteadyMs() > self->openDeadlineMs ? 1 : 0;
  }

  int64_t FrameTimeMs(const AVFrame* f) {
    const int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    int64_t ms = ts == AV_NOPTS_VALUE ? (lastTimeMs < 0 ? 0 : lastTimeMs + frameMs) : ToMs(ts, timeBase) - startMs;
    if (ms < 0) ms = 0;
    lastTimeMs = ms;
    return ms;
  }

  // The next picture of the video track into `frame`.
  DecodeResult DecodeNext() {
    int badInARow = 0;
    for (int packets = 0; packets < kMaxPacketsPerFrame; ++packets) {
      const int received = avcodec_receive_frame(codec, frame);
      if (received == 0) return DecodeResult::kFrame;
      if (received == AVERROR_EOF) return DecodeResult::kEnd;
      if (received != AVERROR(EAGAIN)) return DecodeResult::kError;
      if (draining) return DecodeResult::kEnd;
      if (interrupt.load(std::memory_order_relaxed)) return DecodeResult::kEnd;

      const int read = av_read_frame(format, packet);
      if (read < 0) {
        // The end of the file, or a read that failed part way (a truncated file):
        // what the decoder still holds is shown, then the video ends.
        avcodec_send_packet(codec, nullptr);
        draining = true;
        continue;
      }
      if (packet->stream_index != stream) {
        av_packet_unref(packet);
        continue;
      }
      const int sent = avcodec_send_packet(codec, packet);
      av_packet_unref(packet);
      if (sent < 0 && sent != AVERROR(EAGAIN)) {
        if (++badInARow > kMaxBadPacketsInARow) return DecodeResult::kError;
      } else {
        badInARow = 0;
      }
    }
    return DecodeResult::kEnd;
  }

  // Converts `f` to RGBA of width x height into `out` (sized by the caller).
  bool Convert(const AVFrame* f, int width, int height, uint8_t* out) {
    if (f->width <= 0 || f->height <= 0 || f->format < 0) return false;
    const auto sourceFormat = static_cast<AVPixelFormat>(f->format);
    scaler = sws_getCachedContext(scaler, f->width, f->height, sourceFormat, width, height, AV_PIX_FMT_RGBA,
                                  SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler) return false;
    uint8_t* planes[4] = {out, nullptr, nullptr, nullptr};
    int strides[4] = {width * 4, 0, 0, 0};
    if (sws_scale(scaler, f->data, f->linesize, 0, f->height, planes, strides) <= 0) return false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(sourceFormat);
    if (desc && (desc->flags & AV_PIX_FMT_FLAG_ALPHA)) {
      // The texture has no alpha of its own (X8R8G8B8): every pixel is opaque.
      const size_t bytes = size_t(width) * size_t(height) * 4;
      for (size_t i = 3; i < bytes; i += 4) out[i] = 0xFF;
    }
    return true;
  }

  bool SeekTo(int64_t targetMs) {
    const int64_t ts = av_rescale_q_rnd(targetMs + startMs, AVRational{1, 1000}, timeBase, AV_ROUND_DOWN);
    int result = avformat_seek_file(format, stream, std::numeric_limits<int64_t>::min(), ts, ts, 0);
    if (result < 0) result = av_seek_frame(format, stream, ts, AVSEEK_FLAG_BACKWARD);
    if (result < 0 && targetMs <= 0) {
      // A stream without an index: back to its first byte.
      result = avformat_seek_file(format, -1, std::numeric_limits<int64_t>::min(), 0, 0, AVSEEK_FLAG_BYTE);
    }
    avcodec_flush_buffers(codec);
    draining = false;
    lastTimeMs = -1;
    av_frame_unref(heldFrame);
    return result >= 0;
  }
};

// What the owner and the decoder thread share, under the mutex.
struct VideoSource::Shared {
  std::mutex mutex;
  std::condition_variable wake;  // the decoder waits on it
  std::deque<Frame> queue;
  std::vector<std::vector<uint8_t>> pool;  // spent picture buffers for reuse
  size_t capacity = 3;
  uint64_t generation = 0;  // one more for each seek; frames of older ones are dropped
  bool seekPending = false;
  int64_t seekTargetMs = 0;
  int64_t stopMs = 0;       // range stop (0: the end of the file)
  bool quit = false;
  bool atEnd = false;       // the decoder delivered the last picture of the range
  int64_t endMs = 0;        // when atEnd: the time at which the range ends
  bool failed = false;
  std::atomic<uint64_t> framesDecoded{0};
  std::atomic<int64_t> decodeNs{0};
};

std::unique_ptr<VideoSource> VideoSource::Open(const std::string& path, const SourceOptions& options,
                                               OpenResult& result) {
  result = OpenResult{};
  static std::once_flag quietLibraries;
  // FFmpeg's own messages would flood the console with every damaged file; the
  // caller logs one line of its own instead.
  std::call_once(quietLibraries, [] { av_log_set_level(AV_LOG_QUIET); });
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    result.error = OpenError::kNotFound;
    return nullptr;
  }
  if (info.st_size == 0) {
    result.error = OpenError::kUnknownFormat;
    return nullptr;
  }

  std::unique_ptr<VideoSource> source(new VideoSource());
  source->clock_ = options.clockMs;
  source->shared_ = std::make_unique<Shared>();
  source->shared_->capacity = std::clamp<size_t>(options.queueFrames, 1, 16);
  source->decoder_ = std::make_unique<Decoder>();
  Decoder& d = *source->decoder_;

  d.format = avformat_alloc_context();
  d.packet = av_packet_alloc();
  d.frame = av_frame_alloc();
  d.heldFrame = av_frame_alloc();
  if (!d.format || !d.packet || !d.frame || !d.heldFrame) {
    result.error = OpenError::kOutOfMemory;
    return nullptr;
  }
  d.format->interrupt_callback.callback = &Decoder::InterruptCallback;
  d.format->interrupt_callback.opaque = &d;
  d.format->probesize = kProbeBytes;
  d.openDeadlineMs = SteadyMs() + kOpenTimeLimitMs;

  // Only plain files: a name must never reach the network or another protocol.
  AVDictionary* formatOptions = nullptr;
  av_dict_set(&formatOptions, "protocol_whitelist", "file", 0);
  const int opened = avformat_open_input(&d.format, ("file:" + path).c_str(), nullptr, &formatOptions);
  av_dict_free(&formatOptions);
  if (opened < 0) {
    // avformat_open_input frees the context on failure.
    result.error = opened == AVERROR(ENOENT) || opened == AVERROR(EACCES) ? OpenError::kNotFound
                   : opened == AVERROR(ENOMEM)                            ? OpenError::kOutOfMemory
                                                                          : OpenError::kUnknownFormat;
    return nullptr;
  }
  if (avformat_find_stream_info(d.format, nullptr) < 0) {
    result.error = OpenError::kUnknownFormat;
    return nullptr;
  }

  const AVCodec* codec = nullptr;
  d.stream = av_find_best_stream(d.format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (d.stream == AVERROR_DECODER_NOT_FOUND) {
    result.error = OpenError::kNoDecoder;
    return nullptr;
  }
  if (d.stream < 0) {
    result.error = OpenError::kNoVideoStream;
    return nullptr;
  }
  for (unsigned i = 0; i < d.format->nb_streams; ++i) {
    if (int(i) != d.stream) d.format->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* stream = d.format->streams[d.stream];
  if (stream->time_base.num <= 0 || stream->time_base.den <= 0) {
    result.error = OpenError::kUnknownFormat;
    return nullptr;
  }
  d.timeBase = stream->time_base;
  d.startMs = stream->start_time != AV_NOPTS_VALUE ? ToMs(stream->start_time, d.timeBase) : 0;
  AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0 ? stream->avg_frame_rate
                                                                                     : stream->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) d.frameMs = std::clamp<int64_t>(av_rescale(1000, rate.den, rate.num), 1, 1000);

  auto checkSize = [&result](int width, int height) {
    result.width = width;
    result.height = height;
    if (width < kMinimumSide || height < kMinimumSide) {
      result.error = OpenError::kTooSmall;
    } else if (width > kMaximumSide || height > kMaximumSide || int64_t(width) * height > kMaximumPixels) {
      result.error = OpenError::kTooLarge;
    }
    return result.error == OpenError::kNone;
  };
  const AVCodecParameters* params = stream->codecpar;
  if (params->width > 0 && params->height > 0 && !checkSize(params->width, params->height)) return nullptr;

  d.codec = avcodec_alloc_context3(codec);
  if (!d.codec) {
    result.error = OpenError::kOutOfMemory;
    return nullptr;
  }
  if (avcodec_parameters_to_context(d.codec, params) < 0) {
    result.error = OpenError::kNoDecoder;
    return nullptr;
  }
  d.codec->thread_count = 1;  // one core: the game's other threads need the rest
  if (avcodec_open2(d.codec, codec, nullptr) < 0) {
    result.error = OpenError::kNoDecoder;
    return nullptr;
  }

  // The first picture, here and now, so that a file that decodes to nothing fails
  // at opening like a file the player cannot render.
  if (d.DecodeNext() != DecodeResult::kFrame) {
    result.error = OpenError::kNoFrame;
    return nullptr;
  }
  const int width = params->width > 0 ? params->width : d.frame->width;
  const int height = params->height > 0 ? params->height : d.frame->height;
  if (!checkSize(width, height)) return nullptr;
  source->width_ = width;
  source->height_ = height;
  source->current_.width = width;
  source->current_.height = height;
  source->current_.timeMs = d.FrameTimeMs(d.frame);
  source->current_.rgba.resize(size_t(width) * size_t(height) * 4);
  if (!d.Convert(d.frame, width, height, source->current_.rgba.data())) {
    result.error = OpenError::kNoFrame;
    return nullptr;
  }
  av_frame_unref(d.frame);
  source->currentIsNew_ = true;
  d.openDeadlineMs = 0;

  int64_t durationMs = 0;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    durationMs = ToMs(stream->duration, d.timeBase);
  } else if (d.format->duration != AV_NOPTS_VALUE && d.format->duration > 0) {
    durationMs = ToMs(d.format->duration, AVRational{1, AV_TIME_BASE});
  }
  source->durationMs_ = std::max<int64_t>(durationMs, 0);

  source->anchorClockMs_ = source->Now();
  source->thread_ = std::thread([s = source.get()] { s->DecoderLoop(); });
  return source;
}

VideoSource::~VideoSource() {
  if (shared_) {
    {
      std::lock_guard lock(shared_->mutex);
      shared_->quit = true;
    }
    if (decoder_) decoder_->interrupt.store(true);
    shared_->wake.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

int64_t VideoSource::Now() const { return clock_ ? clock_() : SteadyMs(); }

void VideoSource::DecoderLoop() {
  Decoder& d = *decoder_;
  Shared& s = *shared_;
  int64_t skipBeforeMs = -1;  // after a seek: pictures before this time are not shown
  for (;;) {
    uint64_t generation = 0;
    int64_t stopMs = 0;
    bool seek = false;
    int64_t seekTarget = 0;
    {
      std::unique_lock lock(s.mutex);
      s.wake.wait(lock, [&s] {
        return s.quit || s.seekPending || (!s.atEnd && !s.failed && s.queue.size() < s.capacity);
      });
      if (s.quit) return;
      if (s.seekPending) {
        seek = true;
        seekTarget = s.seekTargetMs;
        s.seekPending = false;
      }
      generation = s.generation;
      stopMs = s.stopMs;
    }

    if (seek) {
      if (!d.SeekTo(seekTarget)) {
        std::lock_guard lock(s.mutex);
        if (generation == s.generation) s.failed = true;
        continue;
      }
      skipBeforeMs = seekTarget;
    }

    const int64_t started = SteadyNs();
    const DecodeResult decoded = d.DecodeNext();
    if (decoded == DecodeResult::kError) {
      std::lock_guard lock(s.mutex);
      if (generation == s.generation) s.failed = true;
      continue;
    }

    // The pictures to hand over: at most the one held back by a seek and this one.
    AVFrame* ready[2] = {nullptr, nullptr};
    int64_t readyMs[2] = {0, 0};
    int count = 0;
    bool reachedEnd = decoded == DecodeResult::kEnd;
    int64_t endMs = d.lastTimeMs < 0 ? 0 : d.lastTimeMs + d.frameMs;
    if (decoded == DecodeResult::kFrame) {
      const int64_t timeMs = d.FrameTimeMs(d.frame);
      if (stopMs > 0 && timeMs >= stopMs) {
        reachedEnd = true;
        endMs = stopMs;
        av_frame_unref(d.frame);
      } else if (skipBeforeMs >= 0 && timeMs < skipBeforeMs) {
        // Keep only the newest picture before the target: it is the one showing there.
        av_frame_unref(d.heldFrame);
        av_frame_move_ref(d.heldFrame, d.frame);
        d.heldFrame->pts = timeMs;
        continue;
      } else {
        if (skipBeforeMs >= 0 && d.heldFrame->data[0] && timeMs > skipBeforeMs) {
          ready[count] = d.heldFrame;
          readyMs[count++] = d.heldFrame->pts;
        }
        ready[count] = d.frame;
        readyMs[count++] = timeMs;
        skipBeforeMs = -1;
      }
    }
    if (reachedEnd && skipBeforeMs >= 0 && d.heldFrame->data[0]) {
      ready[count] = d.heldFrame;
      readyMs[count++] = d.heldFrame->pts;
      skipBeforeMs = -1;
    }
    if (stopMs > 0) endMs = std::min(endMs, stopMs);

    for (int i = 0; i < count; ++i) {
      Frame out;
      out.width = width_;
      out.height = height_;
      out.timeMs = readyMs[i];
      {
        std::lock_guard lock(s.mutex);
        if (!s.pool.empty()) {
          out.rgba = std::move(s.pool.back());
          s.pool.pop_back();
        }
      }
      out.rgba.resize(size_t(width_) * size_t(height_) * 4);
      const bool converted = d.Convert(ready[i], width_, height_, out.rgba.data());
      av_frame_unref(ready[i]);
      if (!converted) continue;  // a picture in a form the scaler refuses is skipped
      s.framesDecoded.fetch_add(1, std::memory_order_relaxed);
      std::lock_guard lock(s.mutex);
      if (generation == s.generation) s.queue.push_back(std::move(out));
    }
    s.decodeNs.fetch_add(SteadyNs() - started, std::memory_order_relaxed);

    if (reachedEnd) {
      std::lock_guard lock(s.mutex);
      if (generation == s.generation) {
        s.atEnd = true;
        s.endMs = endMs;
      }
    }
  }
}

void VideoSource::RequestSeek(int64_t positionMs) {
  {
    std::lock_guard lock(shared_->mutex);
    ++shared_->generation;
    shared_->seekPending = true;
    shared_->seekTargetMs = positionMs;
    shared_->stopMs = stopMs_;
    shared_->atEnd = false;
    shared_->failed = false;
    for (Frame& f : shared_->queue) {
      if (shared_->pool.size() < shared_->capacity + 2) shared_->pool.push_back(std::move(f.rgba));
    }
    shared_->queue.clear();
  }
  shared_->wake.notify_all();
}

void VideoSource::SetRange(int64_t startMs, int64_t stopMs) {
  startMs_ = std::max<int64_t>(startMs, 0);
  stopMs_ = stopMs > 0 ? stopMs : 0;
  Seek(startMs_);
}

void VideoSource::Run() {
  if (runState_ == RunState::kRunning) return;
  anchorClockMs_ = Now();
  runState_ = RunState::kRunning;
}

void VideoSource::Pause() {
  if (runState_ == RunState::kRunning) anchorPositionMs_ = PositionMs();
  runState_ = RunState::kPaused;
}

void VideoSource::Stop() {
  runState_ = RunState::kStopped;
  Seek(startMs_);
}

void VideoSource::Seek(int64_t positionMs) {
  positionMs = std::max<int64_t>(positionMs, 0);
  if (durationMs_ > 0) positionMs = std::min(positionMs, durationMs_);
  anchorPositionMs_ = positionMs;
  anchorClockMs_ = Now();
  ended_ = false;
  endEvent_ = false;
  RequestSeek(positionMs);
}

int64_t VideoSource::PositionMs() const {
  if (runState_ != RunState::kRunning || ended_) return anchorPositionMs_;
  const int64_t elapsed = std::max<int64_t>(Now() - anchorClockMs_, 0);
  return std::min(anchorPositionMs_ + elapsed, kTimeClampMs);
}

PlayState VideoSource::GetPlayState() const {
  std::lock_guard lock(shared_->mutex);
  if (shared_->failed) return PlayState::kFailed;
  if (ended_) return PlayState::kEnded;
  switch (runState_) {
    case RunState::kStopped: return PlayState::kStopped;
    case RunState::kPaused: return PlayState::kPaused;
    case RunState::kRunning: return PlayState::kRunning;
  }
  return PlayState::kStopped;
}

bool VideoSource::TakeEndEvent() {
  const bool event = endEvent_;
  endEvent_ = false;
  return event;
}

const Frame* VideoSource::Service() {
  const int64_t position = PositionMs();
  bool took = false;
  {
    std::lock_guard lock(shared_->mutex);
    Shared& s = *shared_;
    while (!s.queue.empty() && s.queue.front().timeMs <= position) {
      if (!current_.rgba.empty() && s.pool.size() < s.capacity + 2) s.pool.push_back(std::move(current_.rgba));
      current_ = std::move(s.queue.front());
      s.queue.pop_front();
      currentIsNew_ = true;
      took = true;
    }
    if (runState_ == RunState::kRunning && !ended_ && s.atEnd && s.queue.empty() && position >= s.endMs) {
      ended_ = true;
      endEvent_ = true;
      anchorPositionMs_ = std::max(s.endMs, int64_t(0));
    }
  }
  if (took) shared_->wake.notify_all();
  if (!currentIsNew_) return nullptr;
  currentIsNew_ = false;
  return &current_;
}

uint64_t VideoSource::FramesDecoded() const { return shared_->framesDecoded.load(); }
int64_t VideoSource::DecodeNanoseconds() const { return shared_->decodeNs.load(); }

}  // namespace platform::video
