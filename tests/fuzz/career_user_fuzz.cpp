// Career progress files from any bytes: the reader must stay inside the buffer, end,
// and allocate no more than the file holds; what it reads writes back to bytes that
// read to the same user.
#include <cstdint>
#include <string>

#include "song/career_user.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CareerUser user;
  const UserDataParse result = UserData::Parse(user, bytes);
  if (user.resultCount != static_cast<int32_t>(user.results.size())) __builtin_trap();
  if (result == UserDataParse::kBadFormat && user.resultCount != 0) __builtin_trap();
  // Every record takes at least 36 bytes of the file.
  if (static_cast<size_t>(user.resultCount) * 36 > size) __builtin_trap();
  const std::string written = UserData::Serialize(user);
  CareerUser again;
  if (UserData::Parse(again, written) != UserDataParse::kOk) __builtin_trap();
  if (UserData::Serialize(again) != written) __builtin_trap();
  return 0;
}
