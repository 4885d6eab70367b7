// Characters a bitmap font has no picture for are left out of the drawn line; the
// first time each character code is met without a picture it is written to the game
// log, so a missing glyph shows up once instead of vanishing silently or flooding the
// log every frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace graphics {
struct BitmapFont;
}

namespace theme {

// Logs "No Glyph For Character Code <code> In Font <name>" for every code of the
// text the font cannot draw that was not logged before. Returns how many characters
// of the text have no glyph.
size_t NoteMissingGlyphs(const graphics::BitmapFont& font, std::u16string_view text);

// Forgets which codes were logged (tests).
void ForgetLoggedGlyphs();

// Changes whenever the logged codes are forgotten: a text that remembers it checked
// its characters under one value must check them again under another.
uint32_t LoggedGlyphsEpoch();

}  // namespace theme
