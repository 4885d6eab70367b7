#include "platform/paths.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/text.h"

namespace platform {

std::string ToSlashes(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::u16string ToSlashes(std::u16string_view path) {
  std::u16string out(path);
  std::replace(out.begin(), out.end(), u'\\', u'/');
  return out;
}

std::string PathToNative(std::u16string_view path) { return Utf16ToUtf8(ToSlashes(path)); }
std::u16string PathFromNative(std::string_view path) { return Utf8ToUtf16(path); }

namespace {

bool StatPath(const std::string& p, struct stat* st) { return ::stat(p.empty() ? "." : p.c_str(), st) == 0; }

// Listing cache for the resolver, keyed by folder and checked against the folder's
// modification time so that files made after a listing are still found.
struct CachedListing {
  struct timespec mtime {};
  std::vector<std::string> names;
};
std::mutex g_cacheMutex;
std::map<std::string, CachedListing> g_cache;

bool ReadNames(const std::string& folder, std::vector<std::string>& names) {
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    names.push_back(std::move(n));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  // A folder that changes while it is read may hand out an entry twice.
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return true;
}

// Finds the entry of `folder` equal to `part` without regard to case.
bool FindNoCase(const std::string& folder, const std::string& part, std::string& found) {
  struct stat st {};
  if (!StatPath(folder, &st) || !S_ISDIR(st.st_mode)) return false;
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  CachedListing& c = g_cache[folder];
  if (c.mtime.tv_sec != st.st_mtim.tv_sec || c.mtime.tv_nsec != st.st_mtim.tv_nsec || c.names.empty()) {
    c.names.clear();
    if (!ReadNames(folder, c.names)) return false;
    c.mtime = st.st_mtim;
  }
  for (const std::string& n : c.names) {
    if (EqualsNoCaseAscii(n, part)) {
      found = n;
      return true;
    }
  }
  // Names that are not valid UTF-8 (a Latin-1 byte from an old archive) widen with
  // each stray byte as its Latin-1 character, and that wide name narrows to UTF-8:
  // other bytes than the folder holds. Match such a name by its wide form, so that
  // every name a listing gives opens again.
  for (const std::string& n : c.names) {
    if (IsValidUtf8(n)) continue;
    if (EqualsNoCaseAscii(Utf16ToUtf8(Utf8ToUtf16(n)), part)) {
      found = n;
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ResolvePath(std::string_view input) {
  std::string path = ToSlashes(input);
  if (path.empty()) return path;
  if (::access(path.c_str(), F_OK) == 0) return path;

  std::string out;
  size_t pos = 0;
  if (path[0] == '/') {
    out = "/";
    pos = 1;
  }
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(pos, next - pos);
    const bool last = next >= path.size();
    if (part.empty() || part == "." || part == "..") {
      out += part;
    } else {
      std::string candidate = out + part;
      if (::access(candidate.c_str(), F_OK) != 0) {
        std::string found;
        std::string folder = out;
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        if (!FindNoCase(folder, part, found)) return path;
        candidate = out + found;
      }
      out = candidate;
    }
    if (!last) out += '/';
    pos = next + 1;
  }
  return out;
}

bool PathExists(std::string_view path) {
  struct stat st {};
  return StatPath(ResolvePath(path), &st);
}

bool IsDirectory(std::string_view path) {
  struct stat st {};
  return StatPath(ResolvePath(path), &st) && S_ISDIR(st.st_mode);
}

bool IsRegularFile(std::string_view path) {
  struct stat st {};
  return StatPath(ResolvePath(path), &st) && S_ISREG(st.st_mode);
}

bool MakeDirectories(std::string_view input) {
  std::string path = ToSlashes(input);
  if (path.empty()) return false;
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  return IsDirectory(path);
}

std::string ExecutablePath() {
  char buf[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableFolder() {
  std::string p = ExecutablePath();
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string CurrentDirectory() {
  char buf[PATH_MAX + 1];
  if (!::getcwd(buf, sizeof buf)) return std::string();
  std::string s = buf;
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool SetCurrentDirectory(std::string_view path) {
  std::string p = ResolvePath(path);
  return !p.empty() && ::chdir(p.c_str()) == 0;
}

namespace {

// A pattern as the Windows file search matches it. Before matching, the search turns
// '?' into kAnyOne, a '*' that a '.' follows into kAnyToLastDot, and a '.' that a '?'
// or '*' follows, or that ends the pattern, into kDotOrEnd.
enum class Wild : uint8_t { kLiteral, kAny, kAnyOne, kAnyToLastDot, kDotOrEnd };
struct PatternPart {
  Wild kind;
  char ch;
};

std::vector<PatternPart> TranslateWildcards(std::string_view pattern) {
  std::vector<PatternPart> out;
  out.reserve(pattern.size());
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    Wild kind = Wild::kLiteral;
    if (c == '?') {
      kind = Wild::kAnyOne;
    } else if (c == '*') {
      kind = next == '.' ? Wild::kAnyToLastDot : Wild::kAny;
    } else if (c == '.' && (next == '?' || next == '*' || i + 1 == pattern.size())) {
      kind = Wild::kDotOrEnd;
    }
    out.push_back({kind, c});
  }
  return out;
}

}  // namespace

bool WildcardMatch(std::string_view patternIn, std::string_view name) {
  if (patternIn.empty()) return false;
  if (patternIn == "*" || patternIn == "*.*") return true;
  const std::vector<PatternPart> pattern = TranslateWildcards(patternIn);
  const size_t plen = pattern.size();
  const size_t lastDot = name.rfind('.');

  // The set of pattern positions reached after each character of the name: a walk
  // linear in pattern x name, with no backtracking.
  std::vector<char> cur(plen + 1, 0), nxt(plen + 1, 0);
  auto addEmptyMatches = [&](std::vector<char>& states, size_t n) {
    const bool atEnd = n >= name.size();
    for (size_t p = 0; p < plen; ++p) {
      if (!states[p]) continue;
      const Wild k = pattern[p].kind;
      // kAnyOne matches nothing at a dot or at the end; kDotOrEnd nothing at the end.
      if (k == Wild::kAny || k == Wild::kAnyToLastDot || (k == Wild::kAnyOne && (atEnd || name[n] == '.')) ||
          (k == Wild::kDotOrEnd && atEnd))
        states[p + 1] = 1;
    }
  };
  cur[0] = 1;
  addEmptyMatches(cur, 0);
  for (size_t n = 0; n < name.size(); ++n) {
    std::fill(nxt.begin(), nxt.end(), 0);
    const char ch = name[n];
    for (size_t p = 0; p < plen; ++p) {
      if (!cur[p]) continue;
      switch (pattern[p].kind) {
        case Wild::kAny:
          nxt[p] = 1;
          break;
        case Wild::kAnyToLastDot:  // any character except the last dot of the name
          if (ch != '.' || n < lastDot) nxt[p] = 1;
          break;
        case Wild::kAnyOne:
          if (ch != '.') nxt[p + 1] = 1;
          break;
        case Wild::kDotOrEnd:
          if (ch == '.') nxt[p + 1] = 1;
          break;
        case Wild::kLiteral:
          if (ToLowerAscii(pattern[p].ch) == ToLowerAscii(ch)) nxt[p + 1] = 1;
          break;
      }
    }
    addEmptyMatches(nxt, n + 1);
    cur.swap(nxt);
  }
  return cur[plen] != 0;
}

std::vector<DirEntry> ListDirectory(std::string_view folderIn, std::string_view pattern) {
  std::vector<DirEntry> out;
  std::string folder = ResolvePath(folderIn);
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return out;
  while (dirent* de = ::readdir(d)) {
    std::string_view n = de->d_name;
    if (n == "." || n == ".." || !WildcardMatch(pattern, n)) continue;
    DirEntry e;
    e.name = std::string(n);
    // The listing tells folders from files on most file systems; asking each entry's
    // inode instead costs a disk read per file when the cache is cold. A link, or a
    // file system that does not say, still answers through stat (links followed).
    if (de->d_type == DT_DIR) {
      e.isDirectory = true;
    } else if (de->d_type != DT_REG) {
      struct stat st {};
      e.isDirectory = ::stat((base + e.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back(std::move(e));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) {
    int c = CompareNoCaseAscii(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
  });
  // A folder that changes while it is read may hand out an entry twice.
  out.erase(std::unique(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name == b.name; }),
            out.end());
  return out;
}

void InvalidatePathCache() {
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  g_cache.clear();
}

}  // namespace platform
