// A song stem (CAudio) over any bytes: the bytes are written to a file (with the
// checksums of their Ogg pages set right) that the stem opens through libvorbisfile; an opened stem is pumped for a few buffers on the
// loopback device, seeked, metered and closed. Nothing may read outside its buffers,
// hang, or leave the stem in a state that its pump or clock cannot handle.
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devices/audio/ogg_stem.h"
#include "platform/audio/audio.h"
#include "platform/text.h"

namespace {

platform::audio::Engine* LoopbackEngine() {
  static std::unique_ptr<platform::audio::Engine> engine = [] {
    std::unique_ptr<platform::audio::Engine> e;
    if (platform::audio::testing::UseLoopback(44100)) e = platform::audio::Engine::Create();
    if (e && !e->CreateMastering()) e.reset();
    return e;
  }();
  return engine.get();
}

const std::string& StemPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/velorin_ogg_stem_fuzz_" + std::to_string(getpid()) + ".ogg";
  }();
  static const bool cleanup = [] { return std::atexit([] { std::remove(path.c_str()); }) == 0; }();
  (void)cleanup;
  return path;
}

// Ogg pages carry a checksum that almost every mutation breaks, and the decoder never
// sees a page whose checksum fails. Setting the checksum of every whole page again
// lets the mutations reach the stream's headers and packets.
uint32_t OggCrc(const uint8_t* p, size_t n) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ p[i]) & 0xFF];
  return crc;
}

void FixPageChecksums(std::vector<uint8_t>& b) {
  for (size_t at = 0; at + 27 <= b.size(); ++at) {
    if (std::memcmp(&b[at], "OggS", 4) != 0) continue;
    const size_t segments = b[at + 26];
    if (at + 27 + segments > b.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += b[at + 27 + i];
    const size_t length = 27 + segments + body;
    if (at + length > b.size()) break;
    std::memset(&b[at + 22], 0, 4);
    const uint32_t crc = OggCrc(&b[at], length);
    for (int i = 0; i < 4; ++i) b[at + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
    at += length - 1;
  }
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void CheckClock(CAudio& stem) {
  const double ms = stem.GetPositionMs();
  if (!(ms >= 0.0) || ms > CAudio::kPositionLimitMs) __builtin_trap();
  const float meter = stem.ReadMeter();
  if (!(meter >= 0.0f) || std::isinf(meter)) __builtin_trap();
}

void Pump(CAudio& stem, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    stem.Update();
    platform::audio::testing::Render(2048);
    CheckClock(stem);
  }
}

}  // namespace

// libvorbisfile 1.3.7 loses the list of serial numbers it gathered when opening a
// stream fails in its headers (ov_open1 frees it only on success): a few bytes per
// refused file, inside the library, that no caller can free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::audio::Engine* engine = LoopbackEngine();
  if (!engine) __builtin_trap();
  std::vector<uint8_t> bytes(data, data + size);
  FixPageChecksums(bytes);
  if (!WriteFile(StemPath(), bytes.data(), bytes.size())) __builtin_trap();
  const std::u16string path = platform::Utf8ToUtf16(StemPath());

  for (int pass = 0; pass < 2; ++pass) {
    CAudio stem;
    stem.engine = engine;  // shared, as every stem after a song's first
    stem.ownsEngine = false;
    if (!stem.Open(path)) {
      if (stem.ready || stem.sourceVoice) __builtin_trap();
      return 0;
    }
    if (!stem.ready || !stem.sourceVoice || stem.channels < 1 || stem.sampleRate < 1) __builtin_trap();
    if (!(stem.totalLength >= 0.0)) __builtin_trap();
    // The second pass starts from a seek, as a preview or a practice jump does.
    if (pass == 1) stem.SeekSeconds(stem.totalLength > 0.0 ? stem.totalLength / 2 : 1.0);
    stem.sourceVoice->Start();
    stem.playing = true;
    Pump(stem, 3);
    if (stem.sourceVoice && stem.sourceVoice->GetState().buffersQueued > CAudio::kMaxQueued) __builtin_trap();
    stem.Close();
    if (stem.ready || stem.sourceVoice || stem.streamOpen) __builtin_trap();
  }
  return 0;
}
