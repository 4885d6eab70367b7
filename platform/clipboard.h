// The system clipboard's text. With no window system the clipboard is absent:
// reads give an empty text and writes report failure. The window layer installs
// its back end when it has a window.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct ClipboardBackend {
  virtual ~ClipboardBackend() = default;
  virtual std::string GetText() = 0;                // UTF-8
  virtual bool SetText(std::string_view utf8) = 0;
};

void SetClipboardBackend(ClipboardBackend* backend);  // null: no clipboard
std::string ClipboardGetText();
bool ClipboardSetText(std::string_view utf8);

}  // namespace platform
