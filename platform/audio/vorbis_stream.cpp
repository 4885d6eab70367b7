#include "platform/audio/vorbis_stream.h"

#include <sys/types.h>
#include <vorbis/vorbisfile.h>

#include <cstring>

namespace platform::audio {

namespace {

size_t ReadCallback(void* ptr, size_t size, size_t count, void* source) {
  return std::fread(ptr, size, count, static_cast<FILE*>(source));
}

int SeekCallback(void* source, ogg_int64_t offset, int whence) {
  if (!source) return -1;
  return fseeko(static_cast<FILE*>(source), static_cast<off_t>(offset), whence);
}

int CloseCallback(void* source) { return std::fclose(static_cast<FILE*>(source)); }

long TellCallback(void* source) { return static_cast<long>(ftello(static_cast<FILE*>(source))); }

const ov_callbacks kCallbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};

static_assert(VorbisStream::kHole == OV_HOLE, "the gap code is libvorbisfile's");

}  // namespace

struct VorbisStream::File {
  OggVorbis_File vf;
  bool open = false;
};

VorbisStream::VorbisStream() : file_(std::make_unique<File>()) { std::memset(&file_->vf, 0, sizeof(OggVorbis_File)); }

VorbisStream::~VorbisStream() { Close(); }

bool VorbisStream::Open(FILE* file) {
  Close();
  std::memset(&file_->vf, 0, sizeof(OggVorbis_File));
  if (ov_open_callbacks(file, &file_->vf, nullptr, 0, kCallbacks) < 0) return false;
  file_->open = true;
  return true;
}

void VorbisStream::Close() {
  if (!file_->open) return;
  ov_clear(&file_->vf);
  file_->open = false;
}

int VorbisStream::Channels() const {
  if (!file_->open) return 0;
  const vorbis_info* info = ov_info(&file_->vf, -1);
  return info && info->channels > 0 ? info->channels : 0;
}

long VorbisStream::Rate() const {
  if (!file_->open) return 0;
  const vorbis_info* info = ov_info(&file_->vf, -1);
  return info ? info->rate : 0;
}

double VorbisStream::TotalSeconds() { return file_->open ? ov_time_total(&file_->vf, -1) : -1.0; }

int64_t VorbisStream::TotalFrames() { return file_->open ? ov_pcm_total(&file_->vf, -1) : -1; }

long VorbisStream::Read(uint8_t* buffer, int bytes) {
  if (!file_->open) return 0;
  int link = 0;
  return ov_read(&file_->vf, reinterpret_cast<char*>(buffer), bytes, 0, 2, 1, &link);
}

bool VorbisStream::SeekSeconds(double seconds) { return file_->open && ov_time_seek(&file_->vf, seconds) == 0; }

int64_t VorbisStream::TellFrames() { return file_->open ? ov_pcm_tell(&file_->vf) : -1; }

}  // namespace platform::audio
