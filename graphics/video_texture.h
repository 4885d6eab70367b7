// A video file played into a texture, so that the renderer draws the video like any
// image: the menu backgrounds of the theme, the song's video background on the play
// screen. The decoding runs on the video source's own thread; the texture is created
// and rewritten on the main thread by Update(), the service step of the frame render.
//
// The video is always silent. Run/Pause/Stop/seek act on the play position; a
// looping video goes back to its start when the end event is taken (HandleEvents,
// which Update() also calls every frame). Across a device loss and reset the play
// position and the run state are kept.
//
// CreateVideoTexture may run on any thread (it only opens and decodes); Update,
// Release, Reset and the destructor touch the texture and belong to the main thread.
// Every operation does nothing (and says false / stopped / 0) without an open video.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform::video {
class VideoSource;
}

namespace graphics {

// A texture that the main thread rewrites whole, once per video frame (the device
// layer's dynamic texture: a 32-bit RGBA texture, one level).
class DynamicTexture {
 public:
  virtual ~DynamicTexture() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Replaces the picture: Height() rows of 4 x Width() RGBA bytes, top row first,
  // `pitch` bytes apart. False when the device refused the upload.
  virtual bool Update(const uint8_t* rgba, int pitch) = 0;
};

// What a video texture needs of the device: dynamic textures of a given size.
class DynamicTextureDevice {
 public:
  virtual ~DynamicTextureDevice() = default;
  // Null when the texture cannot be made.
  virtual std::unique_ptr<DynamicTexture> CreateDynamicTexture(int width, int height) = 0;
};

// The run states, numbered as the saved state keeps them.
enum class VideoState : int32_t { kStopped = 0, kPaused = 1, kRunning = 2 };

// The commands the theme sends to all its background videos.
enum class VideoCommand : int32_t {
  kRun = 0,             // run, muted
  kStop = 1,            // stop and rewind
  kPause = 2,
  kHandleEvents = 3,    // take pending end events (a looping video restarts)
  kSaveAndRelease = 4,  // before a device reset
  kReset = 5,           // after a device reset
};

inline constexpr int32_t kMutedVolume = -10000;

class VideoTexture {
 public:
  VideoTexture();
  ~VideoTexture();
  VideoTexture(const VideoTexture&) = delete;
  VideoTexture& operator=(const VideoTexture&) = delete;

  // Opens the file and stores the arguments; the video is left stopped at start. A
  // stop of 0 or less plays to the end. The texture is made by the first Update()
  // and its address is written to *textureSlot (cleared again when it goes away).
  // False (with the log lines of the failure) when the file is no playable video.
  bool CreateVideoTexture(DynamicTextureDevice* device, bool loop, DynamicTexture** textureSlot, int32_t startMs,
                          int32_t stopMs, std::u16string fileName);
  // Moves to start and plays up to stop (0 or less: the end).
  bool SetPlayRange(int32_t startMs, int32_t stopMs);
  // Stops and rewinds to the range start.
  bool Stop();
  // Takes the pending end event; with loop set the video goes back to its range start.
  // False without an open video.
  bool HandleEvents();
  // Saves the play position and run state, then closes the video and frees the
  // texture (device loss, and before deletion).
  bool Release();
  // After a device reset: opens the video again on `device`, at the saved position,
  // running when it was running. Logs "Failed To Reset The Video Device!" on failure.
  bool Reset(DynamicTextureDevice* device);

  bool Run();
  bool Pause();
  VideoState GetState() const;
  int32_t GetCurrentPositionMs() const;
  // The video has no sound; the volume is kept for those who ask.
  void SetVolume(int32_t volume) { volume_ = volume; }
  int32_t Volume() const { return volume_; }

  // One of the theme's video commands; `device` is used by kReset.
  bool Control(VideoCommand command, DynamicTextureDevice* device);

  // The frame step on the main thread: takes the end events, then uploads the newest
  // frame due at the play position (nothing when it has not changed). True when a
  // frame was uploaded.
  bool Update();

  // The play clock in milliseconds for the next open (tests drive it by hand); the
  // steady clock when empty.
  void SetPlayClock(std::function<int64_t()> clockMs) { clock_ = std::move(clockMs); }

  bool HasVideo() const { return source_ != nullptr; }
  DynamicTexture* Texture() const { return texture_.get(); }
  const platform::video::VideoSource* Source() const { return source_.get(); }

  // Kept across Release and Reset.
  int32_t savedPositionMs = 0;
  VideoState savedState = VideoState::kStopped;
  // The picture's size inside the texture; textures have the video's own size, so
  // the texture is never padded.
  bool padded = false;
  float videoWidth = 0.0f;
  float videoHeight = 0.0f;

  const std::u16string& FileName() const { return fileName_; }
  bool Loop() const { return loop_; }
  int32_t StartMs() const { return startMs_; }
  int32_t StopMs() const { return stopMs_; }

 private:
  bool Open();
  void DropTexture();

  DynamicTextureDevice* device_ = nullptr;
  DynamicTexture** textureSlot_ = nullptr;
  std::u16string fileName_;
  bool loop_ = false;
  int32_t startMs_ = 0;
  int32_t stopMs_ = 0;
  int32_t volume_ = 0;
  bool textureFailed_ = false;
  std::function<int64_t()> clock_;
  std::unique_ptr<platform::video::VideoSource> source_;
  std::unique_ptr<DynamicTexture> texture_;
};

}  // namespace graphics
