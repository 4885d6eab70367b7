// Files and folders a benchmark writes, removed when the program ends normally.
#pragma once

#include <string>

namespace benchscratch {

// Removes `path` (a file, or a folder with everything in it) at exit. The list of
// paths is never destroyed, so the removal cannot run after the names are gone, as
// it would if it read them from a function-local static made after the handler was
// registered.
void RemoveAtExit(const std::string& path);

}  // namespace benchscratch
