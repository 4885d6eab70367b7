// Build tool: turns a UTF-8 text file into the form the game reads its UTF-16 texts
// in: a byte-order mark, then UTF-16LE code units, every line ended by CR LF.
//
//   velorin_utf16_text <input.txt> <output.txt>
//
// The source may have an optional UTF-8 byte-order mark and LF or CR LF line ends.
// Anything that is not valid UTF-8 (or a lone carriage return) is refused with its
// line number and no output is written, so a damaged source never turns into a game
// file that reads half right.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool Fail(const std::string& input, size_t line, const std::string& what) {
  std::cerr << input << ":" << line << ": " << what << "\n";
  return false;
}

void PutUnit(std::string& out, uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

void PutCodePoint(std::string& out, uint32_t cp) {
  if (cp < 0x10000) {
    PutUnit(out, cp);
  } else {
    cp -= 0x10000;
    PutUnit(out, 0xD800 + (cp >> 10));
    PutUnit(out, 0xDC00 + (cp & 0x3FF));
  }
}

// Strict UTF-8 decoding: no overlong forms, no surrogates, nothing above U+10FFFF.
bool Convert(const std::string& input, const std::string& in, std::string& out) {
  out.assign("\xFF\xFE", 2);
  size_t i = 0, line = 1;
  if (in.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < in.size()) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c == '\n') {
      PutUnit(out, '\r');
      PutUnit(out, '\n');
      ++line;
      ++i;
      continue;
    }
    if (c == '\r') {
      if (i + 1 >= in.size() || in[i + 1] != '\n') return Fail(input, line, "carriage return without line feed");
      ++i;  // the LF that follows writes the line end
      continue;
    }
    if (c < 0x80) {
      PutUnit(out, c);
      ++i;
      continue;
    }
    size_t len = 0;
    uint32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4, cp = c & 0x07, min = 0x10000;
    } else {
      return Fail(input, line, "invalid UTF-8 byte");
    }
    if (i + len > in.size()) return Fail(input, line, "truncated UTF-8 sequence");
    for (size_t k = 1; k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(in[i + k]);
      if ((cc & 0xC0) != 0x80) return Fail(input, line, "invalid UTF-8 sequence");
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return Fail(input, line, "invalid UTF-8 code point");
    PutCodePoint(out, cp);
    i += len;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: velorin_utf16_text <input> <output>\n";
    return 2;
  }
  const std::string input = argv[1];
  const std::filesystem::path output = argv[2];

  std::ifstream f(input, std::ios::binary);
  if (!f) {
    std::cerr << input << ": cannot open: " << std::strerror(errno) << "\n";
    return 1;
  }
  std::ostringstream buffer;
  buffer << f.rdbuf();
  if (f.bad()) {
    std::cerr << input << ": read error\n";
    return 1;
  }

  std::string bytes;
  if (!Convert(input, buffer.str(), bytes)) return 1;

  std::error_code ec;
  if (output.has_parent_path()) std::filesystem::create_directories(output.parent_path(), ec);
  const std::filesystem::path temp = output.string() + ".tmp";
  {
    std::ofstream o(temp, std::ios::binary | std::ios::trunc);
    o.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    o.close();
    if (!o) {
      std::cerr << output.string() << ": cannot write\n";
      std::filesystem::remove(temp, ec);
      return 1;
    }
  }
  std::filesystem::rename(temp, output, ec);
  if (ec) {
    std::cerr << output.string() << ": cannot replace: " << ec.message() << "\n";
    std::filesystem::remove(temp, ec);
    return 1;
  }
  return 0;
}
