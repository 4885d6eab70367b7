// Reading picture file names word by word ("Note_Cymbal_Green_Open").
#include <sstream>

#include "painters.h"
#include "palette.h"

namespace velorin::pictures {

std::vector<std::string> NameParts(const std::string& name) {
  std::vector<std::string> parts;
  std::stringstream in(name);
  std::string part;
  while (std::getline(in, part, '_')) parts.push_back(part);
  return parts;
}

bool TakeWord(std::vector<std::string>& parts, const std::string& word) {
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == word) {
      parts.erase(parts.begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

Colour HueOfWords(std::vector<std::string>& parts, Colour fallback) {
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string word = parts[i];
    bool darker = i + 1 < parts.size() && parts[i + 1] == "2";
    if (darker) word += "_2";
    Hue hue;
    if (HueByName(word, &hue)) {
      parts.erase(parts.begin() + static_cast<long>(i), parts.begin() + static_cast<long>(i + (darker ? 2 : 1)));
      return HueColour(hue);
    }
  }
  return fallback;
}

}  // namespace velorin::pictures
