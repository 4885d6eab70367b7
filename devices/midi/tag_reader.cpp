#include "devices/midi/tag_reader.h"

#include <cmath>

#include "platform/file.h"
#include "platform/text.h"

bool TagReader::NextTag(std::string* name) {
  for (;;) {
    const size_t open = text_.find('<', pos_);
    if (open == std::string_view::npos) {
      pos_ = text_.size();
      return false;
    }
    const size_t close = text_.find('>', open + 1);
    if (close == std::string_view::npos) {
      pos_ = text_.size();
      return false;
    }
    std::string_view tag = text_.substr(open + 1, close - open - 1);
    pos_ = close + 1;
    if (tag.substr(0, 3) != "!--") {
      name->assign(tag);
      return true;
    }
    // A comment ends at the first '>' that has "--" before it.
    std::string_view piece = tag;
    while (!(piece.size() >= 2 && piece.substr(piece.size() - 2) == "--")) {
      const size_t next = text_.find('>', pos_);
      if (next == std::string_view::npos) {
        pos_ = text_.size();
        return false;
      }
      piece = text_.substr(pos_, next - pos_);
      pos_ = next + 1;
    }
  }
}

std::string TagReader::Value(size_t maxLength) {
  size_t end = text_.find('<', pos_);
  if (end == std::string_view::npos) end = text_.size();
  std::string_view v = text_.substr(pos_, end - pos_);
  if (v.size() > maxLength) v = v.substr(0, maxLength);
  std::string value(v);
  // The closing tag of the value.
  if (end < text_.size()) {
    const size_t close = text_.find('>', end + 1);
    pos_ = close == std::string_view::npos ? text_.size() : close + 1;
  } else {
    pos_ = end;
  }
  return value;
}

int32_t ParseDeviceNumber(std::string_view text) {
  if (text.size() > 40) text = text.substr(0, 40);
  const double d = platform::StrToD(text);
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return 2147483647;
  if (d <= -2147483648.0) return static_cast<int32_t>(-2147483647 - 1);
  return static_cast<int32_t>(d);  // cut toward zero
}

std::vector<int32_t> ParseNumberList(std::string_view text, size_t maxCount) {
  std::vector<int32_t> out;
  size_t start = 0;
  while (out.size() < maxCount) {
    const size_t comma = text.find(',', start);
    out.push_back(ParseDeviceNumber(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

bool ReadDeviceFile(std::string_view path, std::string* text) {
  if (!platform::ReadWholeFile(path, *text, size_t(8) << 20)) return false;
  // An optional UTF-8 byte-order mark.
  if (text->size() >= 3 && text->compare(0, 3, "\xEF\xBB\xBF") == 0) text->erase(0, 3);
  return true;
}
