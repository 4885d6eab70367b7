#include "platform/clipboard.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<ClipboardBackend*> g_backend{nullptr};
}

void SetClipboardBackend(ClipboardBackend* backend) { g_backend = backend; }

std::string ClipboardGetText() {
  ClipboardBackend* b = g_backend.load();
  return b ? b->GetText() : std::string();
}

bool ClipboardSetText(std::string_view utf8) {
  ClipboardBackend* b = g_backend.load();
  return b && b->SetText(utf8);
}

}  // namespace platform
