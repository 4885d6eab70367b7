// One Ogg Vorbis stream read through libvorbisfile from an open file: the stream's
// format, its length, 16-bit little-endian signed PCM in chunks, and seeking. Used by
// the song stems, which stream from disk. Not thread-safe: one reader at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace platform::audio {

class VorbisStream {
 public:
  // What Read returns for a gap in the stream (the reader may go on after it).
  static constexpr long kHole = -3;

  VorbisStream();
  ~VorbisStream();
  VorbisStream(const VorbisStream&) = delete;
  VorbisStream& operator=(const VorbisStream&) = delete;

  // Opens the stream over `file`, which it then owns and closes. False when the bytes
  // are not an Ogg Vorbis stream: the file stays the caller's to close.
  bool Open(FILE* file);
  // Closes the stream and its file; nothing when none is open.
  void Close();

  // The channel count and sample rate of the current link; 0 when unknown.
  int Channels() const;
  long Rate() const;
  // The length in seconds (below 0 when unknown) and in frames (below 0 when unknown).
  double TotalSeconds();
  int64_t TotalFrames();
  // Decodes up to `bytes` bytes: the bytes written, 0 at the end, kHole for a gap, any
  // other negative value for a broken stream.
  long Read(uint8_t* buffer, int bytes);
  // Moves to a time; false when the stream cannot be positioned.
  bool SeekSeconds(double seconds);
  // The frame the next Read starts at; below 0 when unknown.
  int64_t TellFrames();

 private:
  struct File;
  std::unique_ptr<File> file_;
};

}  // namespace platform::audio
