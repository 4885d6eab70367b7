// Turns a text .X file into the binary form of the same content, so that the tests
// can read each fixture both ways: names, strings, braces and number lists become
// binary tokens (numbers written with a '.' go into float lists, others into integer
// lists, a run of one kind being one list).
#pragma once

#include <string>
#include <string_view>

namespace velorin_test {

// Empty when the text has no valid header.
std::string TextXToBinary(std::string_view text);

}  // namespace velorin_test
