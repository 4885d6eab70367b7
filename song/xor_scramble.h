// The light obfuscation of the game's own score and achievement data: every byte of
// a text XORed with a key's bytes in turn. Not a protection, only enough that the
// values do not read as plain numbers in the files.
#pragma once

#include <string>
#include <string_view>

// Byte i of the result is byte i of the text XOR byte (i mod key length) of the key;
// the result has the text's length and may hold zero bytes. Scrambling twice with
// the same key gives the text back. An empty key leaves the text as it is.
std::string XorScramble(std::string_view text, std::string_view key);
