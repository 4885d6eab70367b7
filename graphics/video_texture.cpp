// The video texture over the platform's video source: opening with the log lines the
// game writes for each kind of failure, the play commands, the end event and the
// upload of the newest frame on the main thread.
#include "graphics/video_texture.h"

#include <string>

#include "core/log.h"
#include "platform/paths.h"
#include "platform/video/video_source.h"

namespace graphics {

namespace {

using platform::video::OpenError;

constexpr const char* kCreatePrefix = "VideoTexture::CreateVideoTexture() : ";

// The log lines of a file that could not be set up.
void LogOpenFailure(const platform::video::OpenResult& result) {
  switch (result.error) {
    case OpenError::kNone:
      break;
    case OpenError::kNotFound:
      LogNarrow(std::string(kCreatePrefix) + "AddSourceFilter() Failed!");
      LogNarrow("File or object not found");
      break;
    case OpenError::kUnknownFormat:
      LogNarrow(std::string(kCreatePrefix) + "AddSourceFilter() Failed!");
      LogNarrow("The media type of this file was not recognized");
      break;
    case OpenError::kNoDecoder:
      LogNarrow(std::string(kCreatePrefix) + "AddSourceFilter() Failed!");
      LogNarrow("The source filter for this file could not be loaded. Is The Codec Installed?");
      break;
    case OpenError::kOutOfMemory:
      LogNarrow(std::string(kCreatePrefix) + "AddSourceFilter() Failed!");
      LogNarrow("Insufficient memory");
      break;
    case OpenError::kNoVideoStream:
      LogNarrow(std::string(kCreatePrefix) + "FindPin() Failed!");
      LogNarrow("Could not find a pin with this identifier");
      break;
    case OpenError::kNoFrame:
      LogNarrow(std::string(kCreatePrefix) + "Render() Source Output Pin Failed!");
      break;
    case OpenError::kTooSmall:
      LogNarrow("CheckMediaType() - Found Matching Format!");
      LogNarrow("SetMediaType() - Rez Too Low:" + std::to_string(result.width) + "x" + std::to_string(result.height));
      break;
    case OpenError::kTooLarge:
      LogNarrow("CheckMediaType() - Found Matching Format!");
      LogNarrow("SetMediaType() - Could Not Create Normal Texture (Non-Dynamic)");
      break;
  }
}

}  // namespace

VideoTexture::VideoTexture() = default;

VideoTexture::~VideoTexture() { Release(); }

bool VideoTexture::CreateVideoTexture(DynamicTextureDevice* device, bool loop, DynamicTexture** textureSlot,
                                      int32_t startMs, int32_t stopMs, std::u16string fileName) {
  startMs_ = startMs;
  stopMs_ = stopMs;
  device_ = device;
  fileName_ = std::move(fileName);
  loop_ = loop;
  textureSlot_ = textureSlot;
  return Open();
}

bool VideoTexture::Open() {
  source_.reset();
  DropTexture();
  textureFailed_ = false;
  videoWidth = videoHeight = 0.0f;
  padded = false;

  platform::video::SourceOptions options;
  options.clockMs = clock_;
  platform::video::OpenResult result;
  const std::string path = platform::ResolvePath(platform::PathToNative(fileName_));
  source_ = platform::video::VideoSource::Open(path, options, result);
  if (!source_) {
    LogOpenFailure(result);
    return false;
  }
  LogNarrow("CheckMediaType() - Found Matching Format!");
  LogNarrow("SetMediaType() - Passed All Tests");
  videoWidth = static_cast<float>(source_->Width());
  videoHeight = static_cast<float>(source_->Height());
  // A source opens at 0 ms with its whole length to play: a range only when it
  // differs (rewinding to where it stands would decode the first picture twice).
  if (startMs_ > 0 || stopMs_ > 0) SetPlayRange(startMs_, stopMs_);
  return true;
}

void VideoTexture::DropTexture() {
  if (textureSlot_ && texture_ && *textureSlot_ == texture_.get()) *textureSlot_ = nullptr;
  texture_.reset();
}

bool VideoTexture::SetPlayRange(int32_t startMs, int32_t stopMs) {
  if (!source_) return false;
  source_->SetRange(startMs, stopMs);
  return true;
}

bool VideoTexture::Stop() {
  if (source_) {
    source_->Stop();
    source_->SetRange(startMs_, stopMs_);
  }
  return true;
}

bool VideoTexture::HandleEvents() {
  if (!source_) return false;
  if (source_->TakeEndEvent() && loop_) SetPlayRange(startMs_, stopMs_);
  return true;
}

bool VideoTexture::Release() {
  if (source_) {
    // Every owner gets its place back after a device reset, not only those that
    // saved it first.
    savedPositionMs = GetCurrentPositionMs();
    savedState = GetState();
  }
  source_.reset();
  DropTexture();
  return true;
}

bool VideoTexture::Reset(DynamicTextureDevice* device) {
  device_ = device;
  const int32_t position = savedPositionMs;
  const VideoState state = savedState;
  if (!Open()) {
    LogNarrow("Failed To Reset The Video Device!");
    return false;
  }
  SetPlayRange(position, stopMs_);
  if (state == VideoState::kRunning) {
    Run();
    SetVolume(kMutedVolume);
  } else if (state == VideoState::kPaused) {
    Pause();
  }
  return true;
}

bool VideoTexture::Run() {
  if (!source_) return false;
  source_->Run();
  return true;
}

bool VideoTexture::Pause() {
  if (!source_) return false;
  source_->Pause();
  return true;
}

VideoState VideoTexture::GetState() const {
  if (!source_) return VideoState::kStopped;
  switch (source_->GetRunState()) {
    case platform::video::RunState::kStopped: return VideoState::kStopped;
    case platform::video::RunState::kPaused: return VideoState::kPaused;
    case platform::video::RunState::kRunning: return VideoState::kRunning;
  }
  return VideoState::kStopped;
}

int32_t VideoTexture::GetCurrentPositionMs() const {
  if (!source_) return 0;
  const int64_t ms = source_->PositionMs();
  return ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

bool VideoTexture::Control(VideoCommand command, DynamicTextureDevice* device) {
  switch (command) {
    case VideoCommand::kRun:
      Run();
      SetVolume(kMutedVolume);
      break;
    case VideoCommand::kStop: Stop(); break;
    case VideoCommand::kPause: Pause(); break;
    case VideoCommand::kHandleEvents: HandleEvents(); break;
    case VideoCommand::kSaveAndRelease:
      if (source_) {
        savedState = GetState();
        savedPositionMs = GetCurrentPositionMs();
      }
      Release();
      break;
    case VideoCommand::kReset: Reset(device); break;
  }
  return true;
}

bool VideoTexture::Update() {
  if (!source_) return false;
  HandleEvents();
  const platform::video::Frame* frame = source_->Service();
  if (!frame) return false;
  if (!texture_) {
    if (textureFailed_ || !device_) return false;
    texture_ = device_->CreateDynamicTexture(frame->width, frame->height);
    if (!texture_) {
      textureFailed_ = true;  // one line, not one per frame
      LogNarrow("SetMediaType() - Could Not Create Normal Texture (Non-Dynamic)");
      return false;
    }
    if (textureSlot_) *textureSlot_ = texture_.get();
  }
  return texture_->Update(frame->rgba.data(), frame->width * 4);
}

}  // namespace graphics
