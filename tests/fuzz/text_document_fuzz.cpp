// Tag documents from any bytes: loading never reads past the file, every walk of
// tags, values or quoted strings moves the cursor forward and ends, reads past the
// end are empty, and the language reader survives whatever the file holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/language.h"
#include "core/log.h"
#include "core/text_document.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::u16string path = [] {
    const std::string folder = fuzzsupport::ScratchFolder("docfuzz");
    // A log folder that does not exist: the failure lines of the reader are not kept.
    SetLogFolder(platform::PathFromNative(folder + "/no-log"));
    std::freopen("/dev/null", "w", stdout);  // the log copies every line to the console
    return platform::PathFromNative(folder + "/doc.ini");
  }();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!platform::WriteFileAtomic(path, bytes)) return 0;

  for (int walk = 0; walk < 4; ++walk) {
    TextDocument doc;
    const bool loaded = doc.Load(path);
    Check(loaded == (size >= 2 && data[0] == 0xFF && data[1] == 0xFE));
    Check(doc.count <= static_cast<int32_t>(size / 2));
    if (!loaded) {
      Check(doc.cursor == 0);
      continue;
    }
    Check(doc.count == static_cast<int32_t>(size / 2) && doc.cursor == 1);
    int32_t last = doc.cursor;
    size_t choice = 0;
    while (doc.cursor < doc.count) {
      const int kind = walk < 3 ? walk : data[choice++ % size] % 4;
      switch (kind) {
        case 0:
          doc.NextTag();
          break;
        case 1:
          doc.NextValue();
          break;
        case 2:
          doc.NextQuoted();
          break;
        default:
          doc.ReadTo(static_cast<char16_t>(data[choice % size]));
          break;
      }
      Check(doc.cursor > last);  // a read that stands still would loop for ever
      last = doc.cursor;
    }
    Check(doc.cursor <= doc.count + 1);
    Check(doc.NextTag().empty() && doc.NextValue().empty() && doc.NextQuoted().empty());
    Check(doc.cursor == last);
  }

  static auto table = std::make_unique<LanguageTable>();
  static Language language;
  language.LoadFile(*table, path);
  Check(table->entries[kLanguageStringCount] == u"Lang Line Overflow");
  return 0;
}
