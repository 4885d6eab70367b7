// The once-per-code log of characters a font cannot draw.
#include "theme/glyph_log.h"

#include <atomic>
#include <mutex>
#include <string>
#include <unordered_set>

#include "core/log.h"
#include "graphics/bitmap_font.h"

namespace theme {

namespace {

std::mutex g_loggedMutex;
std::unordered_set<char16_t> g_logged;
std::atomic<uint32_t> g_epoch{1};  // 1: never the value of a text that has not checked yet

bool HasGlyph(const graphics::BitmapFont& font, char16_t c) {
  return c >= 32 && c <= 255 && font.glyphs[c].texture != nullptr;
}

std::u16string Decimal(unsigned value) {
  std::u16string out;
  do {
    out.insert(out.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return out;
}

}  // namespace

size_t NoteMissingGlyphs(const graphics::BitmapFont& font, std::u16string_view text) {
  size_t missing = 0;
  for (char16_t c : text) {
    if (HasGlyph(font, c)) continue;
    ++missing;
    std::lock_guard<std::mutex> lock(g_loggedMutex);
    if (!g_logged.insert(c).second) continue;
    Log(0, u"No Glyph For Character Code " + Decimal(c) + u" In Font " + font.name);
  }
  return missing;
}

void ForgetLoggedGlyphs() {
  std::lock_guard<std::mutex> lock(g_loggedMutex);
  g_logged.clear();
  g_epoch.fetch_add(1);
}

uint32_t LoggedGlyphsEpoch() { return g_epoch.load(std::memory_order_relaxed); }

}  // namespace theme
