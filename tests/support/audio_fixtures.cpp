#include "tests/support/audio_fixtures.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace testsupport {
namespace {

void Append(std::string& out, const ogg_page& page) {
  out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
  out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

void PutU16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutU32(std::string& s, uint64_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutChunk(std::string& s, const std::string& id, const std::string& body, int64_t sizeField = -1) {
  s += id.substr(0, 4);
  PutU32(s, sizeField >= 0 ? static_cast<uint64_t>(sizeField) : body.size());
  s += body;
  if (body.size() & 1) s.push_back('\0');
}

}  // namespace

std::string MakeOgg(const OggSpec& params) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, params.channels, params.rate, params.quality) != 0) {
    vorbis_info_clear(&info);
    return {};
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);

  std::string out;
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &headerComment);
  ogg_stream_packetin(&os, &headerCode);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) Append(out, page);

  auto drain = [&] {
    ogg_packet packet;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) Append(out, page);
      }
    }
  };

  const int64_t chunk = 4096;
  for (int64_t done = 0; done < params.frames; done += chunk) {
    const int n = static_cast<int>(std::min<int64_t>(chunk, params.frames - done));
    float** buffer = vorbis_analysis_buffer(&dsp, n);
    for (int c = 0; c < params.channels; ++c) {
      for (int i = 0; i < n; ++i) buffer[c][i] = params.signal ? params.signal(done + i, c) : 0.0f;
    }
    vorbis_analysis_wrote(&dsp, n);
    drain();
  }
  vorbis_analysis_wrote(&dsp, 0);
  drain();
  while (ogg_stream_flush(&os, &page) != 0) Append(out, page);

  ogg_stream_clear(&os);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

Signal Sine(double frequency, float amplitude, int rate) {
  return [=](int64_t frame, int) {
    return amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(frame) / rate));
  };
}

Signal BurstAt(int64_t at, int64_t length, int rate) {
  return [=](int64_t frame, int) {
    if (frame < at || frame >= at + length) return 0.0f;
    return 0.8f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(frame - at) / rate));
  };
}

std::string MakeWav(const WavSpec& params) {
  std::string fmt;
  const uint16_t align = static_cast<uint16_t>(params.channels * (params.bits / 8));
  PutU16(fmt, params.formatTag);
  PutU16(fmt, params.channels);
  PutU32(fmt, params.rate);
  PutU32(fmt, static_cast<uint64_t>(params.rate) * align);
  PutU16(fmt, params.blockAlignField >= 0 ? static_cast<uint32_t>(params.blockAlignField) : align);
  PutU16(fmt, params.bits);
  if (params.formatTag == 0xFFFE) {
    static const unsigned char kTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    PutU16(fmt, 22);
    PutU16(fmt, params.bits);
    PutU32(fmt, params.channelMask);
    PutU16(fmt, params.subFormat);
    fmt.append(reinterpret_cast<const char*>(kTail), sizeof kTail);
  }
  std::string body = "WAVE";
  for (const auto& [id, bytes] : params.chunksBefore) PutChunk(body, id, bytes);
  if (!params.omitFormat) PutChunk(body, "fmt ", fmt);
  for (const auto& [id, bytes] : params.chunksBetween) PutChunk(body, id, bytes);
  if (!params.omitData) PutChunk(body, "data", params.data, params.dataSizeField);
  std::string file = "RIFF";
  PutU32(file, params.riffSizeField >= 0 ? static_cast<uint64_t>(params.riffSizeField) : body.size());
  return file + body;
}

std::string Pcm16Bytes(const std::vector<int16_t>& samples) {
  std::string out;
  out.reserve(samples.size() * 2);
  for (int16_t s : samples) PutU16(out, static_cast<uint16_t>(s));
  return out;
}

}  // namespace testsupport
