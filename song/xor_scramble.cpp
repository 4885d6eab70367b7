#include "song/xor_scramble.h"

std::string XorScramble(std::string_view text, std::string_view key) {
  std::string out(text);
  if (key.empty()) return out;
  size_t k = 0;
  for (char& c : out) {
    c = static_cast<char>(static_cast<unsigned char>(c) ^ static_cast<unsigned char>(key[k]));
    if (++k == key.size()) k = 0;
  }
  return out;
}
