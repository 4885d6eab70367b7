#include "core/text_document.h"

#include "core/log.h"
#include "platform/file.h"

namespace {
// Theme and language documents are small; anything this large is not one.
constexpr size_t kMaxDocumentBytes = size_t(256) << 20;

bool EndsInDashes(const std::u16string& s) { return s.size() >= 2 && s[s.size() - 2] == u'-' && s.back() == u'-'; }
}  // namespace

bool TextDocument::Load(std::u16string_view path) {
  Free();
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxDocumentBytes)) return false;
  byteSize = static_cast<int32_t>(bytes.size());
  count = byteSize / 2;
  if (count < 1) {
    Log(0, u"Empty File:" + std::u16string(path));
    return false;
  }
  std::u16string units = platform::DecodeUtf16LE(bytes);
  if (units[0] != 0xFEFF) {
    Log(0, u"ERROR:Not Unicode Document:" + std::u16string(path));
    Free();
    return false;
  }
  text_.assign(units.begin(), units.end());
  cursor = 1;
  return true;
}

void TextDocument::Free() {
  text_.clear();
  text_.shrink_to_fit();
  byteSize = 0;
  count = 0;
  cursor = 0;
}

std::u16string TextDocument::ReadTo(char16_t delimiter) {
  if (cursor >= count || cursor < 0) return std::u16string();
  int32_t i = cursor;
  while (i < count && text_[static_cast<size_t>(i)] != delimiter) ++i;
  std::u16string out(text_.begin() + cursor, text_.begin() + i);
  cursor = i + 1;
  return out;
}

std::u16string TextDocument::NextTag() {
  ReadTo(u'<');
  std::u16string tag = ReadTo(u'>');
  if (tag.compare(0, 3, u"!--") != 0) return tag;
  if (EndsInDashes(tag)) return std::u16string();
  std::u16string piece = tag;
  for (;;) {
    if (cursor >= count) return piece;
    piece = ReadTo(u'>');
    if (EndsInDashes(piece)) return std::u16string();
  }
}

std::u16string TextDocument::NextValue() {
  std::u16string value = ReadTo(u'<');
  ReadTo(u'>');
  return value;
}

std::u16string TextDocument::NextQuoted() {
  ReadTo(u'"');
  return ReadTo(u'"');
}
