#include "song/song_record.h"

bool IsValidChartHash(std::string_view hash) {
  if (hash.size() != 32) return false;
  for (char c : hash) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}
