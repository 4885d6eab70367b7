// Folder listings (entries of a folder that match a pattern and an attribute mask),
// the pick of a random file for "[Random]" settings, and the model of the folder
// picker with which the options screen chooses the music folder.
//
// Folder paths end in '/'. Patterns follow the Windows wildcard rules of
// platform::WildcardMatch; listings are sorted by name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Entry attributes as the listings report them: a folder carries kFolderAttribute,
// any other entry kFileAttribute. A mask of 0 takes every entry.
constexpr uint32_t kFolderAttribute = 16;
constexpr uint32_t kFileAttribute = 32;

struct FolderEntry {
  std::u16string path = u"NO PATH";  // folder + name, with a '/' after a folder's name
  std::u16string name = u"NO NAME";  // as shown
  uint16_t spareWord = 0;
  uint8_t spareByte = 0;
};

// The number of entries of folder that match pattern and share a bit with the mask
// ("." and ".." never count); 0 when the folder cannot be read.
int32_t CountFolderEntries(uint32_t attributeMask, std::u16string_view folder, std::u16string_view pattern);

// Fills entries with what CountFolderEntries counts for the same arguments, in name
// order, and never more than entries.size(); entries left over keep their values.
// With stripExtension a file's name loses everything from its last '.' on (a folder
// keeps its whole name). False when the folder cannot be read.
bool ListFolderEntries(std::span<FolderEntry> entries, uint32_t attributeMask, bool stripExtension,
                       std::u16string_view folder, std::u16string_view pattern);

// folder + name when name is an existing entry of folder (and not "[Random]", in any
// case); otherwise folder + the name of a random matching entry, with the generator
// seeded from the millisecond clock. With no matching entry it logs
// "ERROR:No Random Files Found:" + folder and returns an empty text.
std::u16string PickRandomFile(uint32_t attributeMask, std::u16string_view folder, std::u16string_view name,
                              std::u16string_view pattern);

// The rows of the picker's top level (the empty path), in place of a drive list: the
// home folder, "/", then each medium mounted under /media or /mnt. Each row's name is
// its path without the final '/' ("/" for the root).
std::vector<FolderEntry> ListTopLevelFolders();
// The same from a given home folder and a mount table in the form of /proc/self/mounts.
std::vector<FolderEntry> ListTopLevelFolders(std::string_view home, std::string_view mountTable);

class FolderBrowser {
 public:
  FolderBrowser() = default;

  // Rebuilds the rows for a path (the empty path is the top level); the selection is
  // left to the caller. A path without its final '/' gets one.
  void Fill(std::u16string_view path);
  // Fill, then select row 0 with the window at the top.
  bool Open(std::u16string_view path);
  // Descends into the selected folder or top-level row. False, changing nothing, when
  // there are no rows or the row is a label or a file.
  bool Enter();
  // One folder up, selecting the folder that was left; from "/" to the top level.
  void GoToParent();
  // Selects the first row whose name equals the name exactly.
  bool SelectByName(std::u16string_view name);
  // The selection up one row, from the first row round to the last. Nothing without rows.
  bool MoveUp();
  // The current folder as the choice of the select label. At the top level there is
  // no folder to choose: false, and folder is left as it was.
  bool ChooseCurrentFolder(std::u16string& folder) const;

  std::vector<FolderEntry> entries;
  std::u16string currentPath;
  std::u16string shownName;
  std::u16string selectLabel = u"[Select Current Folder]";
  std::u16string exitLabel = u"[Exit]";
  int32_t count = 0;
  int32_t selected = 0;
  int32_t spareIndex = -1;
  int32_t first = 0;
  int32_t end = 0;
  int32_t visibleCount = 10;
  bool showLabels = false;
  std::u16string pattern = u"*.*";
  uint32_t attributeMask = 0;

 private:
  void ResetWindow();
};

namespace folder_testing {
// Replaces the home folder and mount table behind the top level while it lives.
class ScopedTopLevel {
 public:
  ScopedTopLevel(std::string home, std::string mountTable);
  ~ScopedTopLevel();
  ScopedTopLevel(const ScopedTopLevel&) = delete;
  ScopedTopLevel& operator=(const ScopedTopLevel&) = delete;
};
}  // namespace folder_testing
