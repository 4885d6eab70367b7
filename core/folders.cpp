#include "core/folders.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/text.h"

namespace {

struct Match {
  std::string name;
  bool isFolder;
};

uint32_t AttributesOf(bool isFolder) { return isFolder ? kFolderAttribute : kFileAttribute; }

// The entries of a folder that the listings take, or nullopt when it cannot be read.
std::optional<std::vector<Match>> Enumerate(uint32_t mask, std::u16string_view folder, std::u16string_view pattern) {
  const std::string native = platform::PathToNative(folder);
  const std::string resolved = platform::ResolvePath(native.empty() ? std::string(".") : native);
  if (!platform::IsDirectory(resolved)) return std::nullopt;
  std::vector<Match> out;
  for (platform::DirEntry& e : platform::ListDirectory(resolved, platform::PathToNative(pattern))) {
    if (mask != 0 && (AttributesOf(e.isDirectory) & mask) == 0) continue;
    out.push_back({std::move(e.name), e.isDirectory});
  }
  return out;
}

std::optional<std::pair<std::string, std::string>>& TopLevelOverride() {
  static std::optional<std::pair<std::string, std::string>> source;
  return source;
}

// Mount points are written with octal escapes for blanks and backslashes.
std::string UnescapeMountPath(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

FolderEntry TopRow(const std::string& folder) {
  FolderEntry e;
  std::string name = folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  e.name = platform::PathFromNative(name);
  e.path = platform::PathFromNative(name == "/" ? name : name + "/");
  return e;
}

// The row of one listed entry: its path (a folder's with its final '/') and the name
// shown (a file's without its extension when asked).
FolderEntry RowOf(const Match& m, std::u16string_view folder, bool stripExtension) {
  FolderEntry e;
  std::u16string name = platform::PathFromNative(m.name);
  e.path = std::u16string(folder) + name;
  if (m.isFolder) e.path += u'/';
  if (stripExtension && !m.isFolder) {
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) name.erase(dot);
  }
  e.name = std::move(name);
  return e;
}

std::u16string ShownNameOf(const std::u16string& path) {
  if (path.empty()) return std::u16string();
  if (path == u"/") return path;
  std::u16string cut = path;
  if (cut.back() == u'/') cut.pop_back();
  const size_t slash = cut.rfind(u'/');
  return slash == std::u16string::npos ? cut : cut.substr(slash + 1);
}

}  // namespace

int32_t CountFolderEntries(uint32_t attributeMask, std::u16string_view folder, std::u16string_view pattern) {
  const auto matches = Enumerate(attributeMask, folder, pattern);
  return matches ? static_cast<int32_t>(matches->size()) : 0;
}

bool ListFolderEntries(std::span<FolderEntry> entries, uint32_t attributeMask, bool stripExtension,
                       std::u16string_view folder, std::u16string_view pattern) {
  const auto matches = Enumerate(attributeMask, folder, pattern);
  if (!matches) return false;
  const size_t n = std::min(entries.size(), matches->size());
  for (size_t i = 0; i < n; ++i) entries[i] = RowOf((*matches)[i], folder, stripExtension);
  return true;
}

std::u16string PickRandomFile(uint32_t attributeMask, std::u16string_view folder, std::u16string_view name,
                              std::u16string_view pattern) {
  // An empty name would name the folder itself; it picks at random like a missing one.
  const std::u16string direct = std::u16string(folder) + std::u16string(name);
  if (!name.empty() && !platform::EqualsNoCaseAscii(name, u"[Random]") &&
      platform::PathExists(platform::PathToNative(direct)))
    return direct;

  const int32_t n = CountFolderEntries(attributeMask, folder, pattern);
  if (n <= 0) {
    Log(0, u"ERROR:No Random Files Found:" + std::u16string(folder));
    return std::u16string();
  }
  std::vector<FolderEntry> list(static_cast<size_t>(n));
  ListFolderEntries(list, attributeMask, false, folder, pattern);
  platform::SRand(platform::TimeGetTime());
  const FolderEntry& pick = list[static_cast<size_t>(platform::Rand() % n)];
  if (pick.name == u"NO NAME") {  // the folder lost entries between count and list
    Log(0, u"ERROR:No Random Files Found:" + std::u16string(folder));
    return std::u16string();
  }
  return std::u16string(folder) + pick.name;
}

std::vector<FolderEntry> ListTopLevelFolders(std::string_view home, std::string_view mountTable) {
  std::vector<FolderEntry> rows;
  std::vector<std::string> seen;
  auto add = [&](const std::string& folder) {
    FolderEntry row = TopRow(folder);
    const std::string key = platform::PathToNative(row.path);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) return;
    seen.push_back(key);
    rows.push_back(std::move(row));
  };
  if (!home.empty() && home[0] == '/') add(std::string(home));
  add("/");

  std::vector<std::string> media;
  size_t pos = 0;
  while (pos < mountTable.size()) {
    size_t eol = mountTable.find('\n', pos);
    if (eol == std::string_view::npos) eol = mountTable.size();
    const std::string_view line = mountTable.substr(pos, eol - pos);
    pos = eol + 1;
    // "device mount-point type options dump pass": the second field.
    const size_t a = line.find(' ');
    if (a == std::string_view::npos) continue;
    const size_t b = line.find(' ', a + 1);
    const std::string point =
        UnescapeMountPath(line.substr(a + 1, (b == std::string_view::npos ? line.size() : b) - a - 1));
    for (const char* root : {"/media", "/mnt"}) {
      const std::string r = root;
      if (point == r || (point.size() > r.size() && point.compare(0, r.size(), r) == 0 && point[r.size()] == '/'))
        media.push_back(point);
    }
  }
  std::sort(media.begin(), media.end());
  for (const std::string& m : media) add(m);
  return rows;
}

std::vector<FolderEntry> ListTopLevelFolders() {
  if (const auto& o = TopLevelOverride()) return ListTopLevelFolders(o->first, o->second);
  const char* home = std::getenv("HOME");
  std::string mounts;
  if (!platform::ReadWholeFile(std::string_view("/proc/self/mounts"), mounts, size_t(4) << 20)) mounts.clear();
  return ListTopLevelFolders(home ? std::string_view(home) : std::string_view(), mounts);
}

namespace folder_testing {
ScopedTopLevel::ScopedTopLevel(std::string home, std::string mountTable) {
  TopLevelOverride() = std::make_pair(std::move(home), std::move(mountTable));
}
ScopedTopLevel::~ScopedTopLevel() { TopLevelOverride().reset(); }
}  // namespace folder_testing

void FolderBrowser::Fill(std::u16string_view pathIn) {
  std::u16string path = platform::ToSlashes(pathIn);
  if (!path.empty() && path.back() != u'/') path += u'/';
  entries.clear();
  currentPath = path;

  if (showLabels) {
    entries.resize(2);
    entries[0].name = selectLabel;
    entries[1].name = exitLabel;
  }
  if (path.empty()) {
    for (FolderEntry& row : ListTopLevelFolders()) entries.push_back(std::move(row));
  } else if (const auto matches = Enumerate(attributeMask, path, pattern)) {
    // One listing for both the count and the rows: a folder that changes between
    // two listings (the temporary folder of a busy machine) would otherwise leave
    // rows unfilled or cut.
    entries.reserve(entries.size() + matches->size());
    for (const Match& m : *matches) entries.push_back(RowOf(m, path, true));
  }
  count = static_cast<int32_t>(entries.size());
  shownName = ShownNameOf(currentPath);
}

void FolderBrowser::ResetWindow() {
  selected = 0;
  first = 0;
  end = std::min(visibleCount, count);
}

bool FolderBrowser::Open(std::u16string_view path) {
  Fill(path);
  ResetWindow();
  return true;
}

bool FolderBrowser::Enter() {
  if (count < 1 || selected < 0 || selected >= count) return false;
  const std::u16string path = entries[static_cast<size_t>(selected)].path;
  // Label rows keep "NO PATH"; file rows have no '/' at the end.
  if (path.empty() || path.back() != u'/') return false;
  Fill(path);
  ResetWindow();
  return true;
}

void FolderBrowser::GoToParent() {
  std::u16string parent, left;
  if (currentPath == u"/") {
    left = u"/";  // the root's own row at the top level
  } else if (!currentPath.empty()) {
    std::u16string cut = currentPath;
    if (cut.back() == u'/') cut.pop_back();
    const size_t slash = cut.rfind(u'/');
    if (slash == std::u16string::npos) {
      left = cut;
    } else {
      left = cut.substr(slash + 1);
      parent = cut.substr(0, slash + 1);
    }
  }
  Fill(parent);
  if (!SelectByName(left)) selected = 0;
  if (count <= visibleCount) {
    first = 0;
    end = count;
  } else if (selected + visibleCount < count) {
    first = selected;
    end = selected + visibleCount;
  } else {
    end = count;
    first = count - visibleCount;
  }
}

bool FolderBrowser::SelectByName(std::u16string_view name) {
  for (int32_t i = 0; i < count; ++i) {
    if (entries[static_cast<size_t>(i)].name == name) {
      selected = i;
      return true;
    }
  }
  return false;
}

bool FolderBrowser::MoveUp() {
  if (count <= 0) return true;
  if (selected > 0) {
    if (selected == first) {
      --first;
      --end;
    }
    --selected;
  } else {
    selected = count - 1;
    if (count <= visibleCount) {
      first = 0;
      end = count;
    } else {
      end = count;
      first = count - visibleCount;
    }
  }
  return true;
}

bool FolderBrowser::ChooseCurrentFolder(std::u16string& folder) const {
  if (currentPath.empty()) return false;
  folder = currentPath;
  return true;
}
