// Text-to-binary conversion of .X fixtures for the model tests.
#include "xfile_binary_writer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace velorin_test {
namespace {

constexpr uint16_t kName = 1, kString = 2, kIntegerList = 6, kFloatList = 7, kOpenBrace = 0x0a,
                   kCloseBrace = 0x0b, kComma = 0x13, kSemicolon = 0x14;

class Writer {
 public:
  void Word(uint16_t w) {
    out.push_back(static_cast<char>(w & 0xff));
    out.push_back(static_cast<char>(w >> 8));
  }
  void Dword(uint32_t d) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((d >> (8 * i)) & 0xff));
  }
  void Text(uint16_t token, std::string_view text) {
    Word(token);
    Dword(static_cast<uint32_t>(text.size()));
    out.append(text);
  }
  void Number(std::string_view word) {
    bool isFloat = word.find('.') != std::string_view::npos;
    if (!numbers_.empty() && isFloat != floats_) Flush();
    floats_ = isFloat;
    numbers_.emplace_back(word);
  }
  void Flush() {
    if (numbers_.empty()) return;
    Word(floats_ ? kFloatList : kIntegerList);
    Dword(static_cast<uint32_t>(numbers_.size()));
    for (const auto& n : numbers_) {
      if (floats_) {
        float f = std::strtof(n.c_str(), nullptr);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Dword(bits);
      } else {
        Dword(static_cast<uint32_t>(std::strtol(n.c_str(), nullptr, 10)));
      }
    }
    numbers_.clear();
  }
  std::string out;

 private:
  std::vector<std::string> numbers_;
  bool floats_ = false;
};

bool IsDelimiter(char c) {
  return c == '{' || c == '}' || c == ';' || c == ',' || c == '"' || c == ' ' || c == '\t' || c == '\r' ||
         c == '\n';
}

}  // namespace

std::string TextXToBinary(std::string_view text) {
  if (text.size() < 16 || text.substr(0, 4) != "xof ") return {};
  Writer w;
  w.out = std::string(text.substr(0, 8)) + "bin " + std::string(text.substr(12, 4));
  size_t i = 16;
  while (i < text.size()) {
    char c = text[i];
    if (c == '#') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == ',') {
      ++i;
    } else if (c == '{' || c == '}') {
      w.Flush();
      w.Word(c == '{' ? kOpenBrace : kCloseBrace);
      ++i;
    } else if (c == '"') {
      w.Flush();
      size_t close = text.find('"', i + 1);
      if (close == std::string_view::npos) return {};
      std::string value(text.substr(i + 1, close - i - 1));
      // The text form doubles backslashes inside strings; the binary form does not.
      std::string plain;
      for (size_t k = 0; k < value.size(); ++k) {
        if (value[k] == '\\' && k + 1 < value.size() && value[k + 1] == '\\') ++k;
        plain.push_back(value[k]);
      }
      w.Text(kString, plain);
      i = close + 1;
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      uint16_t terminator = kSemicolon;
      if (i < text.size() && (text[i] == ';' || text[i] == ',')) {
        terminator = text[i] == ',' ? kComma : kSemicolon;
        ++i;
      }
      w.Word(terminator);
    } else {
      size_t start = i;
      while (i < text.size() && !IsDelimiter(text[i])) ++i;
      std::string_view word = text.substr(start, i - start);
      char first = word[0];
      if ((first >= '0' && first <= '9') || first == '-' || first == '.') {
        w.Number(word);
      } else {
        w.Flush();
        w.Text(kName, word);
      }
    }
  }
  w.Flush();
  return w.out;
}

}  // namespace velorin_test
