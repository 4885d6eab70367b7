// Song select: walks the music folder as one list of many parallel columns, builds an
// optional playlist of up to 25 songs and hands the chosen songs to the session. The
// screen's rows are cached per column and refreshed only when their entry, its scores
// or the top-score subject change, so a folder of thousands of songs costs a frame
// almost nothing. The audio preview runs on a thread of its own, stopped through a
// polled flag; the album art is decoded off the main thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "menus/album_art_loader.h"
#include "menus/menu_context.h"
#include "menus/screen_input.h"
#include "song/song_library.h"

class Song;

namespace menus {

// What the screen keeps per library entry beside the library's own record.
struct EntryState {
  std::u16string displayName;  // the folder's own name
  bool isSong = false;
  bool inPlaylist = false;
  bool disabled = false;
  uint32_t scoreStamp = 0;  // the top-score subject the score columns were filled for
};

// The thirty-two columns, each bound to the list element of the same name.
enum Column : int32_t {
  kColName, kColArtist, kColAlbum, kColGenre, kColYear, kColRating, kColPlayCount, kColSongLength,
  kColDiffBand, kColDiffDrums, kColDiffBass, kColDiffGuitar, kColDiffKeys, kColDiffVocals, kColDiffDrumsReal,
  kColDiffBassReal, kColDiffGuitarReal, kColDiffKeysReal, kColDiffVocalsHarm, kColDiffDance, kColDiffDrumsRealVl,
  kColDiffKeysRealVl, kColDiffGuitarCoop, kColDiffRhythm, kColTopRank, kColTopScore, kColTopAccuracy, kColTopSkill,
  kColFileType, kColTierStars, kColIcon, kColPlaylist, kColumnCount
};

extern const std::array<const char*, kColumnCount> kColumnNames;

class SongMenu {
 public:
  static constexpr int32_t kOptionRows = 2;
  static constexpr int32_t kMaxPlaylist = 25;
  static constexpr uint32_t kPreviewDelayMs = 1000;
  // Rows around the selection whose score columns are refreshed in the same frame;
  // the rest follow a slice at a time.
  static constexpr int32_t kVisibleRows = 40;
  static constexpr int32_t kScoreRowsPerFrame = 400;

  enum PreviewFlag : int { kPreviewNone = 0, kPreviewRunning = 1, kPreviewStopRequested = 2 };

  SongMenu(MenuContext& owner, const std::u16string& folder);
  ~SongMenu();
  SongMenu(const SongMenu&) = delete;
  SongMenu& operator=(const SongMenu&) = delete;

  bool LoadTheme(const std::u16string& dynamicFolder);
  void Update();
  // The rows the shared message box shows this frame; empty when none is due.
  std::vector<std::u16string> MessageRows() const;

  void Enter(bool keepSelection, bool rememberSelected, const std::u16string& folder);
  void OpenPath(const std::u16string& path);
  void ChooseSong(bool random, bool quiet);
  void StartSongs();
  void ClearPlaylist();
  bool RemoveFromPlaylist(const std::u16string& folder);
  void SetSortOrder(int32_t order);
  void PreviousFunction();
  void NextFunction();
  void RunFunction(int32_t controller);
  bool ChangeRating();
  void UpdateScoreFilter(int32_t controller);
  void MoveUp(int32_t controller);
  void MoveDown(int32_t controller);
  void Confirm(int32_t controller);
  void Back();
  void StartPreview();
  bool WaitPreviewThread();
  void ReloadSongInfo();
  // After a song: the played songs' results and play counts, as the level just wrote
  // them, in their rows.
  void RefreshAfterSong();

  static std::u16string FunctionName(MenuContext& ctx, int32_t index);

  int32_t EntryCount() const { return library_.count; }
  const SongLibraryEntry& Entry(int32_t i) const { return library_.entries[static_cast<size_t>(i)]; }
  const EntryState& State(int32_t i) const { return states_[static_cast<size_t>(i)]; }
  const std::u16string& Cell(Column c, int32_t row) const { return columns_[c][static_cast<size_t>(row)].text; }
  ScreenTheme* theme() const { return theme_.get(); }
  bool FreeMode() const;
  int32_t PlaylistCount() const { return playlistCount_; }
  std::u16string PlaylistFolder(int32_t i) const;
  int PreviewFlagValue() const { return previewFlag_.load(); }
  const std::shared_ptr<const Picture>& AlbumArt() const { return albumArt_; }
  bool WaitAlbumArt(uint32_t timeoutMs) { return art_.WaitIdle(timeoutMs); }

  int32_t selectedRow = 2;
  int32_t previousRow = -1;
  bool changeFlag = false;
  int32_t requestedMenu = 0;
  std::u16string rootFolder, currentFolder, rememberedName;
  std::string scorePlayerName = "EMPTY";
  int32_t scoreInstrument = 0, scoreKind = 1, scoreFilter = 14;
  int32_t actingController = 0, scoreController = -1;
  bool chartCheckPending = false;
  int32_t chartCheckEntry = 0;
  bool playlistMode = false, clearPrompt = false, controllerMismatch = false;
  std::u16string legendBack, legendSelect, functionName;
  int32_t playlistRow = -1;
  uint32_t previewTimer = 0;
  bool previewStarted = false;
  bool endOfInput = false;
  int32_t sortOrder = 0, functionIndex = 0;

 private:
  void RebuildStates();
  void BindColumns();
  void FillRow(int32_t i);
  void FillScores(int32_t i);
  void RefreshPlaylistColumn();
  void RefreshScoreRows(bool all);
  void UpdateRowStates(bool hoverOnly);
  void UpdateOptionRows();
  void UpdateStatusTexts();
  void LoadAlbumArt();
  void TakeAlbumArt();
  void AnalyseChosenSong();
  void HandleInput();
  void PreviewThread();
  int32_t FindByDisplayName(const std::u16string& name) const;
  bool InsideRoot(const std::u16string& folder) const;
  Song* PlaylistSlot(int32_t i) const;

  MenuContext& owner_;
  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  SongLibrary library_;
  std::vector<EntryState> states_;
  std::array<std::vector<ListRow>, kColumnCount> columns_;
  std::vector<uint8_t> shownMarks_, shownDisabled_;
  uint32_t scoreStamp_ = 1;
  int32_t scoreCursor_ = 0;  // next row of the background score refresh
  int32_t playlistCount_ = 0;
  bool optionRowsDisabled_ = false;
  std::string filterSubjectShown_;

  std::atomic<int> previewFlag_{kPreviewNone};
  std::thread previewThread_;
  std::u16string previewFolder_;
  int32_t previewStart_ = -1;
  int32_t previewType_ = 0;

  AlbumArtLoader art_;
  std::shared_ptr<const Picture> albumArt_;
};

}  // namespace menus
