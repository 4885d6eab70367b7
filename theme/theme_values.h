// How theme documents write their values: booleans, leading numbers, vectors with a
// unit, percentages, and names compared without regard to ASCII case. Parsing never
// depends on the C locale, so "0.5" reads the same under every language setting.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <glm/glm.hpp>

namespace theme {

// The folder every theme falls back to for documents and pictures.
inline constexpr std::u16string_view kDefaultDynamicFolder = u"themes/default/dynamic/";

// The unit a vector value is written in.
enum class ValueUnit : int32_t {
  kAsWritten = 0,  // positions
  kPercent = 1,    // scale, colour, texture_coords, screen_pos (x 0.01)
  kDegrees = 2,    // rotate (to radians)
};

inline constexpr float kDegreesToRadians = 0.017453292f;

// True only for "true" or "yes", ignoring case; " true" and "1" are false.
bool ParseBool(std::u16string_view value);
// The leading decimal number (optional sign); 0 when there is none.
int32_t ParseInt(std::u16string_view value);
// The leading decimal number with fraction and exponent; 0 when there is none.
float ParseFloat(std::u16string_view value);
// Up to three numbers split at ','; missing ones are 0, later ones ignored.
glm::vec3 ParseVector(std::u16string_view value, ValueUnit unit);
// A percentage: 50 gives 0.5.
float ParsePercent(std::u16string_view value);

// ASCII-only case folding, as names and keys are compared.
bool SameName(std::u16string_view a, std::u16string_view b);
bool SameName(std::string_view a, std::u16string_view b);

// The element's folder followed by a path from a document ('\' becomes '/').
std::u16string JoinThemePath(std::u16string_view folder, std::u16string_view path);

// The language slots of texts and pictures: 0 english, 1 french, 2 spanish, 3 italian.
inline constexpr int kThemeLanguages = 4;
// The current language of the settings as a slot; anything outside 0..3 is english.
int LanguageSlot(int32_t languageIndex);

}  // namespace theme
