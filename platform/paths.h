// Paths of the platform layer. Paths in code use '/'; a path that does not exist
// as written is resolved part by part without regard to case, so content made on
// systems with case-insensitive file names still opens.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

std::string ToSlashes(std::string_view path);
std::u16string ToSlashes(std::u16string_view path);

// The path with every part that is missing as written replaced by the entry of its
// folder that equals it without regard to case. A path that cannot be resolved
// comes back as written (with '\' turned to '/').
std::string ResolvePath(std::string_view path);

bool PathExists(std::string_view path);
bool IsDirectory(std::string_view path);
bool IsRegularFile(std::string_view path);
bool MakeDirectories(std::string_view path);  // like mkdir -p; true when it exists afterwards

// The running executable, from /proc/self/exe (never argv[0]).
std::string ExecutablePath();
// The folder of the executable, ending in '/'.
std::string ExecutableFolder();

std::string CurrentDirectory();  // without a trailing '/'
bool SetCurrentDirectory(std::string_view path);

// The Windows file search's wildcard rules, without regard to case (ASCII): '*' any
// run, '?' one character; "*" and "*.*" match every name; a '*' before a '.' stops at
// the name's last dot ("*.png" matches "a.b.png", not "a.png.txt"); a '.' before a
// wildcard or at the end also matches the end of a name ("*." lists names without a
// dot, "readme.*" matches "README"); a '?' matches nothing at a dot or at the end
// ("a?.txt" matches "a.txt"). Short 8.3 names do not exist here, so they never match.
bool WildcardMatch(std::string_view pattern, std::string_view name);

struct DirEntry {
  std::string name;
  bool isDirectory = false;
};

// The entries of a folder that match the pattern, "." and ".." left out, sorted by
// case-folded name (then by exact name), so every listing is deterministic.
std::vector<DirEntry> ListDirectory(std::string_view folder, std::string_view pattern = "*");

// Forgets the cached folder listings of the resolver.
void InvalidatePathCache();

// u16 forms: UTF-16 paths are converted to UTF-8 at this boundary.
std::string PathToNative(std::u16string_view path);
std::u16string PathFromNative(std::string_view path);

}  // namespace platform
