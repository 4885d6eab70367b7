// Opening a web page in the user's browser, as a desktop does it (xdg-open), started
// with an argument list, never through a shell. Without a graphical session there is
// no browser to show it: false.
#pragma once

#include <string>

namespace platform::online {

bool OpenWebPage(const std::string& url);

}  // namespace platform::online
