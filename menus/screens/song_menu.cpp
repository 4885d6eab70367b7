#include "menus/screens/song_menu.h"

#include <algorithm>
#include <sys/stat.h>

#include <cctype>

#include "core/lang_ids.h"
#include "core/log.h"
#include "core/md5.h"
#include "core/settings.h"
#include "core/utils.h"
#include "game/lane_map.h"
#include "game/level/level_session.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "song/song.h"
#include "song/song_list.h"

namespace menus {

const std::array<const char*, kColumnCount> kColumnNames{
    "list_name", "list_artist", "list_album", "list_genre", "list_year", "list_rating", "list_play_count",
    "list_song_length", "list_difficulty_band", "list_difficulty_drums", "list_difficulty_bass",
    "list_difficulty_guitar", "list_difficulty_keys", "list_difficulty_vocals", "list_difficulty_drums_real",
    "list_difficulty_bass_real", "list_difficulty_guitar_real", "list_difficulty_keys_real",
    "list_difficulty_vocals_harm", "list_difficulty_dance", "list_difficulty_drums_real_vl",
    "list_difficulty_keys_real_vl", "list_difficulty_guitar_coop", "list_difficulty_rhythm", "list_topscore_rank",
    "list_topscore_score", "list_topscore_accuracy", "list_topscore_skill", "list_filetype", "list_tierstars",
    "list_icon", "list_playlist"};

namespace {

// The sixteen difficulty columns in column order.
constexpr std::array<int32_t SongInfo::*, 16> kDifficulty{
    &SongInfo::diff_band, &SongInfo::diff_drums, &SongInfo::diff_bass, &SongInfo::diff_guitar,
    &SongInfo::diff_keys, &SongInfo::diff_vocals, &SongInfo::diff_drums_real, &SongInfo::diff_bass_real,
    &SongInfo::diff_guitar_real, &SongInfo::diff_keys_real, &SongInfo::diff_vocals_harm, &SongInfo::diff_dance,
    &SongInfo::diff_drums_real_vl, &SongInfo::diff_keys_real_vl, &SongInfo::diff_guitar_coop,
    &SongInfo::diff_rhythm};

constexpr std::array<int32_t, 9> kSortNames{
    LANG("LANG_SONG_SELECT_SORT_NAME"), LANG("LANG_SONG_SELECT_SORT_ARTIST"),
    LANG("LANG_SONG_SELECT_SORT_ALBUM"), LANG("LANG_SONG_SELECT_SORT_DIFFICULTY"),
    LANG("LANG_SONG_SELECT_SORT_RATING"), LANG("LANG_SONG_SELECT_SORT_PLAY_COUNT"),
    LANG("LANG_SONG_SELECT_SORT_GENRE"), LANG("LANG_SONG_SELECT_SORT_YEAR"), LANG("LANG_SONG_SELECT_SORT_TRACK")};

constexpr std::array<int32_t, 4> kFunctionNames{
    LANG("LANG_BUTTONS_CHANGE_SORTING"), LANG("LANG_BUTTONS_CHANGE_SCORE_FILTER"), LANG("LANG_BUTTONS_EDIT_INFO"),
    LANG("LANG_BUTTONS_CHANGE_RATING")};

// Score filter 0..12 → instrument.
constexpr std::array<int32_t, 13> kFilterInstrument{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14};

constexpr std::array<int32_t, 15> kInstrumentNames{
    LANG("LANG_INSTRUMENT_DRUMS"), LANG("LANG_INSTRUMENT_BASS"), LANG("LANG_INSTRUMENT_GUITAR"),
    LANG("LANG_INSTRUMENT_KEYS"), LANG("LANG_INSTRUMENT_VOCALS"), LANG("LANG_INSTRUMENT_DRUMS_ADV"),
    LANG("LANG_INSTRUMENT_BASS_REAL"), LANG("LANG_INSTRUMENT_GUITAR_REAL"), LANG("LANG_INSTRUMENT_KEYS_ADV"),
    LANG("LANG_INSTRUMENT_VOCALS_HARM"), LANG("LANG_INSTRUMENT_GUITAR_RHYTHM"), LANG("LANG_INSTRUMENT_GUITAR_COOP"),
    LANG("LANG_INSTRUMENT_DANCE"), LANG("LANG_INSTRUMENT_DRUMS_REAL"), LANG("LANG_INSTRUMENT_KEYS_REAL")};

constexpr uint32_t kPollMs = 50;
constexpr uint32_t kPreviewStopTimeoutMs = 5000;

std::u16string Decimal(int64_t v) { return ToWide(std::to_string(v)); }

std::u16string WithSlash(std::u16string folder) {
  folder = platform::ToSlashes(folder);
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder;
}

// The last component of a folder path ending in '/'.
std::u16string LastComponent(const std::u16string& folder) {
  std::u16string f = folder;
  while (!f.empty() && f.back() == u'/') f.pop_back();
  const size_t cut = f.rfind(u'/');
  return cut == std::u16string::npos ? f : f.substr(cut + 1);
}

std::u16string Lower(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return s;
}

bool SameHash(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int64_t FileBytes(const std::u16string& path) {
  struct stat st {};
  const std::string native = platform::ResolvePath(platform::PathToNative(path));
  if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool FileNonEmpty(const std::u16string& path) { return FileBytes(path) > 0; }

}  // namespace

SongMenu::SongMenu(MenuContext& owner, const std::u16string& folder) : owner_(owner), art_(owner.decodePicture) {
  legendBack = owner_.Text(LANG("LANG_BUTTONS_BACK"));
  legendSelect = owner_.Text(LANG("LANG_BUTTONS_SELECT"));
  functionName = FunctionName(owner_, 0);
  rootFolder = WithSlash(folder);
  currentFolder = rootFolder;
  Enter(true, false, rootFolder);
}

SongMenu::~SongMenu() { WaitPreviewThread(); }

std::u16string SongMenu::FunctionName(MenuContext& ctx, int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(kFunctionNames.size())) return {};
  return ctx.Text(kFunctionNames[static_cast<size_t>(index)]);
}

bool SongMenu::FreeMode() const {
  const LevelSession* s = owner_.session;
  return !(s && (s->practice || s->career)) && !owner_.Connected();
}

Song* SongMenu::PlaylistSlot(int32_t i) const {
  if (!owner_.session || i < 0 || i >= kSongSlotCount) return nullptr;
  Song* slots = owner_.session->Slots();
  return slots ? &slots[i] : nullptr;
}

std::u16string SongMenu::PlaylistFolder(int32_t i) const {
  const Song* s = PlaylistSlot(i);
  return s ? s->folder : std::u16string();
}

bool SongMenu::LoadTheme(const std::u16string& dynamicFolder) {
  theme_ = owner_.LoadTheme("menu_songselect", dynamicFolder);
  if (!theme_) return false;
  shownMarks_.assign(states_.size(), 0);
  shownDisabled_.assign(states_.size(), 0);
  previousRow = -1;
  BindColumns();
  return true;
}

// ---- Folders ---------------------------------------------------------------------

void SongMenu::RebuildStates() {
  states_.assign(static_cast<size_t>(library_.count), EntryState());
  for (int32_t i = kOptionRows; i < library_.count; ++i) {
    const SongInfo& info = library_.entries[static_cast<size_t>(i)].info;
    EntryState& st = states_[static_cast<size_t>(i)];
    st.displayName = LastComponent(info.path);
    st.isSong = info.iniFound;
    st.disabled = info.careerLocked != 0;
  }
  // Marks for the songs already in the playlist.
  for (int32_t k = 0; playlistMode && k < playlistCount_; ++k) {
    const std::u16string f = PlaylistFolder(k);
    for (int32_t i = kOptionRows; i < library_.count; ++i)
      if (library_.entries[static_cast<size_t>(i)].info.path == f) states_[static_cast<size_t>(i)].inPlaylist = true;
  }
  shownMarks_.assign(states_.size(), 0);
  shownDisabled_.assign(states_.size(), 0);
}

int32_t SongMenu::FindByDisplayName(const std::u16string& name) const {
  for (int32_t i = kOptionRows; i < library_.count; ++i)
    if (states_[static_cast<size_t>(i)].displayName == name) return i;
  return -1;
}

void SongMenu::Enter(bool keepSelection, bool rememberSelected, const std::u16string& folder) {
  std::u16string name = rememberedName;
  if (rememberSelected && selectedRow >= kOptionRows && selectedRow < library_.count)
    name = states_[static_cast<size_t>(selectedRow)].displayName;
  library_ = SongLibrary(kOptionRows, sortOrder, false, WithSlash(folder));
  currentFolder = library_.root;
  selectedRow = kOptionRows;
  RebuildStates();
  if (!keepSelection) {
    const int32_t found = FindByDisplayName(name);
    if (found >= 0) selectedRow = found;
  }
  UpdateOptionRows();
  LoadAlbumArt();
  previousRow = -1;
  BindColumns();
  previewTimer = owner_.Now();
}

void SongMenu::OpenPath(const std::u16string& pathIn) {
  std::u16string path = platform::ToSlashes(pathIn);
  if (!path.empty() && (path.back() == u'/' || path.back() == u'"')) path.pop_back();
  const size_t cut = path.rfind(u'/');
  const std::u16string parent = cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
  rememberedName = cut == std::u16string::npos ? path : path.substr(cut + 1);
  Enter(false, false, parent.empty() ? rootFolder : parent);
  // Only the song of that name is chosen; a folder that is gone leaves the list open
  // without choosing whatever happens to sit on the first row.
  if (selectedRow < kOptionRows || selectedRow >= library_.count) return;
  if (states_[static_cast<size_t>(selectedRow)].displayName != rememberedName) return;
  if (!states_[static_cast<size_t>(selectedRow)].inPlaylist) ChooseSong(false, false);
}

bool SongMenu::InsideRoot(const std::u16string& folder) const {
  const std::u16string f = Lower(WithSlash(folder)), r = Lower(rootFolder);
  return f.size() >= r.size() && f.compare(0, r.size(), r) == 0;
}

// ---- Columns ---------------------------------------------------------------------

void SongMenu::BindColumns() {
  if (!theme_) return;
  const size_t n = static_cast<size_t>(library_.count);
  for (int32_t c = 0; c < kColumnCount; ++c) {
    if (c == kColPlaylist) continue;
    columns_[static_cast<size_t>(c)].assign(n, ListRow());
  }
  ++scoreStamp_;
  for (int32_t i = 0; i < library_.count; ++i) FillRow(i);
  scoreCursor_ = 0;
  RefreshScoreRows(true);
  for (int32_t c = 0; c < kColumnCount; ++c) {
    if (c == kColPlaylist) continue;
    theme_->SetListItems(kColumnNames[static_cast<size_t>(c)], columns_[static_cast<size_t>(c)].data(), &selectedRow,
                         library_.count);
  }
  RefreshPlaylistColumn();
  theme_->SetImage("album_art", albumArt_);
  UpdateRowStates(false);
}

void SongMenu::FillRow(int32_t i) {
  auto& cols = columns_;
  const size_t r = static_cast<size_t>(i);
  if (i < kOptionRows) {
    cols[kColFileType][r].text = u"option";
    return;  // the option rows' names are set by UpdateOptionRows
  }
  const SongInfo& info = library_.entries[r].info;
  cols[kColName][r].text = ToWide(info.name);
  cols[kColArtist][r].text = ToWide(info.artist);
  cols[kColAlbum][r].text = ToWide(info.album);
  cols[kColGenre][r].text = ToWide(info.genre);
  cols[kColYear][r].text = ToWide(info.year);
  cols[kColIcon][r].text = ToWide(info.icon);
  for (size_t d = 0; d < kDifficulty.size(); ++d) cols[static_cast<size_t>(kColDiffBand) + d][r].text = Decimal(info.*kDifficulty[d]);
  cols[kColFileType][r].text = states_[r].isSong ? u"song" : u"folder";
  cols[kColTierStars][r].text.clear();
  cols[kColPlayCount][r].text = info.count == 0 ? std::u16string() : Decimal(info.count);
  if (info.song_length <= 0) {
    cols[kColSongLength][r].text.clear();
  } else {
    std::u16string h, m, s, hs;
    SplitTimeMs(static_cast<uint32_t>(info.song_length), &h, &m, &s, &hs);
    cols[kColSongLength][r].text = m + u":" + s;
  }
  cols[kColRating][r].text = Decimal(info.rating);
}

void SongMenu::FillScores(int32_t i) {
  const size_t r = static_cast<size_t>(i);
  EntryState& st = states_[r];
  st.scoreStamp = scoreStamp_;
  if (i < kOptionRows) return;
  const ScoreTable& t = library_.entries[r].scores;
  const int32_t players = scoreKind == -1 ? -1 : 1;
  const auto show = [](int32_t v) { return v < 0 ? std::u16string() : Decimal(v); };
  columns_[kColTopRank][r].text = show(t.BestRating(scorePlayerName, scoreInstrument, players));
  columns_[kColTopScore][r].text = show(t.BestScore(scorePlayerName, scoreInstrument, players));
  const int32_t pct = t.BestPercent(scorePlayerName, scoreInstrument, players);
  columns_[kColTopAccuracy][r].text = pct < 0 ? std::u16string() : pct == 200 ? u"FC" : Decimal(pct) + u"%";
  columns_[kColTopSkill][r].text = show(t.BestDifficulty(scorePlayerName, scoreInstrument, players));
}

void SongMenu::RefreshScoreRows(bool all) {
  if (!theme_ || columns_[kColTopRank].size() != states_.size()) return;
  if (all) {
    for (int32_t i = 0; i < library_.count; ++i) FillScores(i);
    return;
  }
  // The rows on screen first, then a slice of the others.
  const int32_t from = std::max(0, selectedRow - kVisibleRows), to = std::min(library_.count, selectedRow + kVisibleRows);
  for (int32_t i = from; i < to; ++i)
    if (states_[static_cast<size_t>(i)].scoreStamp != scoreStamp_) FillScores(i);
  for (int32_t done = 0; done < kScoreRowsPerFrame && library_.count > 0; ++done) {
    if (scoreCursor_ >= library_.count) scoreCursor_ = 0;
    if (states_[static_cast<size_t>(scoreCursor_)].scoreStamp != scoreStamp_) FillScores(scoreCursor_);
    ++scoreCursor_;
  }
}

void SongMenu::RefreshPlaylistColumn() {
  if (!theme_) return;
  auto& rows = columns_[kColPlaylist];
  rows.assign(static_cast<size_t>(playlistCount_), ListRow());
  for (int32_t k = 0; k < playlistCount_; ++k) {
    const Song* s = PlaylistSlot(k);
    const std::string name = s && s->info ? s->info->name : std::string();
    rows[static_cast<size_t>(k)].text = Decimal(k + 1) + u"- " + ToWide(name);
  }
  playlistRow = playlistCount_ - 1;
  theme_->SetListItems("list_playlist", rows.data(), &playlistRow, playlistCount_);
}

void SongMenu::UpdateRowStates(bool hoverOnly) {
  if (!theme_) return;
  if (selectedRow != previousRow) {
    if (previousRow >= 0) theme_->TriggerEvent("list_name", RowName(previousRow), "hover_off");
    theme_->TriggerEvent("list_name", RowName(selectedRow), "hover_on");
    previousRow = selectedRow;
  }
  if (hoverOnly) return;
  for (size_t i = 0; i < states_.size(); ++i) {
    const bool disabled = i < kOptionRows ? optionRowsDisabled_ : states_[i].disabled;
    if (states_[i].inPlaylist != (shownMarks_[i] != 0)) {
      shownMarks_[i] = states_[i].inPlaylist;
      theme_->TriggerEvent("list_name", RowName(static_cast<int32_t>(i)), states_[i].inPlaylist ? "select_on" : "select_off");
    }
    if (disabled != (shownDisabled_[i] != 0)) {
      shownDisabled_[i] = disabled;
      theme_->TriggerEvent("list_name", RowName(static_cast<int32_t>(i)), disabled ? "disable_on" : "disable_off");
    }
  }
}

void SongMenu::UpdateOptionRows() {
  int32_t row0 = LANG("LANG_SONG_SELECT_NEW_PLAYLIST");
  if (playlistMode)
    row0 = playlistCount_ > 0 ? LANG("LANG_SONG_SELECT_LAUNCH_PLAYLIST") : LANG("LANG_SONG_SELECT_CANCEL_PLAYLIST");
  if (columns_[kColName].size() >= kOptionRows) {
    columns_[kColName][0].text = u"[" + owner_.Text(row0) + u"]";
    columns_[kColName][1].text = u"[" + owner_.Text(LANG("LANG_SONG_SELECT_RANDOM_SONG")) + u"]";
  }
  legendBack = owner_.Text(LANG("LANG_BUTTONS_BACK"));
  legendSelect = owner_.Text(LANG("LANG_BUTTONS_SELECT"));
  if (playlistMode && selectedRow == 0) legendBack = owner_.Text(LANG("LANG_BUTTONS_CANCEL_PLAYLIST"));
  if (playlistMode && selectedRow == 1) legendBack = owner_.Text(LANG("LANG_BUTTONS_DELETE"));
}

// ---- Frame -----------------------------------------------------------------------

void SongMenu::Update() {
  // The preview starts once the selection has rested on a song for a second.
  if (library_.count > kOptionRows && previewTimer != 0 && owner_.Now() - previewTimer >= kPreviewDelayMs) {
    const bool song = selectedRow >= kOptionRows && selectedRow < library_.count &&
                      states_[static_cast<size_t>(selectedRow)].isSong && !states_[static_cast<size_t>(selectedRow)].disabled;
    if (song && owner_.settings && owner_.settings->mixer.SONGPREVIEWTYPE != 0) {
      StartPreview();
      previewStarted = true;
    }
    previewTimer = 0;
  }
  if (chartCheckPending) AnalyseChosenSong();
  HandleInput();
  UpdateScoreFilter(actingController);
  if (actingController != scoreController) scoreController = actingController;
  RefreshScoreRows(false);
  TakeAlbumArt();
  UpdateStatusTexts();
  const bool disable = !FreeMode();
  if (disable != optionRowsDisabled_) {
    optionRowsDisabled_ = disable;
    UpdateRowStates(false);
  }
}

void SongMenu::UpdateStatusTexts() {
  if (!theme_) return;
  const LevelSession* s = owner_.session;
  int32_t mode = LANG("LANG_MENU_MAIN_QUICKPLAY");
  if (s && s->practice) mode = LANG("LANG_MENU_MAIN_PRACTICE");
  else if (s && s->career) mode = LANG("LANG_MENU_MAIN_CAREER");
  else if (owner_.Connected()) mode = LANG("LANG_MENU_MAIN_NETWORK");
  theme_->SetText("game_mode", owner_.Text(mode));
  theme_->SetText("career_stars", u"");
  theme_->SetText("current_sorting", owner_.Text(LANG("LANG_SONG_SELECT_SORTING")) + u": " +
                                         owner_.Text(kSortNames[static_cast<size_t>(std::clamp(sortOrder, 0, 8))]));
}

void SongMenu::HandleInput() {
  ForEachPress(owner_, events_, [&](int32_t c, uint32_t id, const MenuActions& a) {
    const bool career = owner_.session && owner_.session->career;
    if (a.up) MoveUp(c);
    if (a.down) MoveDown(c);
    if ((a.left || a.right) && !career) {
      actingController = c;
      if (a.left) PreviousFunction();
      else NextFunction();
    }
    if (a.confirm) Confirm(c);
    if (a.back) {
      if (controllerMismatch) controllerMismatch = false;
      else Back();
    }
    if (a.profileBox) {
      owner_.seats[static_cast<size_t>(c)].boxOpen = true;
      owner_.seats[static_cast<size_t>(c)].boxOpenEvent = true;
    }
    if (a.extra) RunFunction(c);
    if (IsSearchButton(id) && !career) {
      changeFlag = true;
      requestedMenu = static_cast<int32_t>(Menu::kSearch);
    }
    if (endOfInput) {
      endOfInput = false;
      return false;
    }
    return true;
  });
}

void SongMenu::MoveUp(int32_t controller) {
  if (library_.count <= kOptionRows || clearPrompt || controllerMismatch) return;
  actingController = controller;
  previewTimer = owner_.Now();
  if (FreeMode()) selectedRow = selectedRow <= 0 ? library_.count - 1 : selectedRow - 1;
  else selectedRow = selectedRow <= kOptionRows ? library_.count - 1 : selectedRow - 1;
  LoadAlbumArt();
  UpdateRowStates(true);
  UpdateOptionRows();
}

void SongMenu::MoveDown(int32_t controller) {
  if (library_.count <= kOptionRows || clearPrompt || controllerMismatch) return;
  actingController = controller;
  previewTimer = owner_.Now();
  if (selectedRow >= library_.count - 1) selectedRow = FreeMode() ? 0 : kOptionRows;
  else ++selectedRow;
  LoadAlbumArt();
  UpdateRowStates(true);
  UpdateOptionRows();
}

void SongMenu::Confirm(int32_t controller) {
  actingController = controller;
  if (library_.count <= kOptionRows) return;
  if (controllerMismatch) { controllerMismatch = false; return; }
  if (clearPrompt) { clearPrompt = false; ClearPlaylist(); return; }
  if (selectedRow == 0) {
    if (!playlistMode) {
      playlistMode = true;
      UpdateOptionRows();
      BindColumns();
      return;
    }
    if (playlistCount_ == 0) { ClearPlaylist(); return; }
    StartSongs();
    return;
  }
  if (selectedRow == 1) { ChooseSong(true, false); return; }
  const EntryState& st = states_[static_cast<size_t>(selectedRow)];
  if (st.disabled) { owner_.PlaySound(Sound::kRefused); return; }
  if (st.isSong) {
    owner_.PlaySound(Sound::kConfirm);
    if (playlistMode && st.inPlaylist) RemoveFromPlaylist(library_.entries[static_cast<size_t>(selectedRow)].info.path);
    else ChooseSong(false, false);
    return;
  }
  owner_.PlaySound(Sound::kConfirm);
  Enter(true, false, library_.entries[static_cast<size_t>(selectedRow)].info.path);
}

void SongMenu::Back() {
  if (clearPrompt) { clearPrompt = false; return; }
  if (playlistMode && selectedRow == 0) { clearPrompt = true; return; }
  if (playlistMode && selectedRow == 1) {
    if (playlistCount_ > 0) RemoveFromPlaylist(PlaylistFolder(playlistCount_ - 1));
    return;
  }
  owner_.PlaySound(Sound::kBack);
  const bool atRoot = Lower(WithSlash(currentFolder)) == Lower(rootFolder);
  if (atRoot) {
    changeFlag = true;
    requestedMenu = static_cast<int32_t>(owner_.Connected() ? Menu::kLobby : Menu::kMain);
    if (owner_.session) owner_.session->practice = false;
    if (selectedRow < kOptionRows) selectedRow = kOptionRows;
    ClearPlaylist();
    return;
  }
  // A folder outside the music folder (the calibration song, a command-line song) has
  // no way up that stays inside it: back lands on the music folder itself.
  if (!InsideRoot(currentFolder)) {
    rememberedName.clear();
    Enter(true, false, rootFolder);
    return;
  }
  std::u16string f = WithSlash(currentFolder);
  f.pop_back();
  const size_t cut = f.rfind(u'/');
  if (cut == std::u16string::npos) {
    Enter(true, false, rootFolder);
    return;
  }
  rememberedName = f.substr(cut + 1);
  Enter(false, false, f.substr(0, cut + 1));
}

// ---- Choosing --------------------------------------------------------------------

void SongMenu::ChooseSong(bool random, bool quiet) {
  int32_t row = selectedRow;
  if (random) {
    std::vector<int32_t> songs;
    for (int32_t i = kOptionRows; i < library_.count; ++i)
      if (states_[static_cast<size_t>(i)].isSong && !states_[static_cast<size_t>(i)].inPlaylist) songs.push_back(i);
    if (songs.empty()) return;
    row = songs[owner_.Random() % songs.size()];
  }
  if (row < kOptionRows || row >= library_.count) return;
  Song* slot = PlaylistSlot(playlistCount_);
  if (!slot) {
    LogNarrow("Song select: no song slots to take the chosen song");
    return;
  }
  const SongLibraryEntry& entry = library_.entries[static_cast<size_t>(row)];
  slot->folder = entry.info.path;
  slot->LoadInfo();
  slot->LoadScores();
  if (playlistMode) {
    if (playlistCount_ >= kMaxPlaylist) return;
    ++playlistCount_;
    states_[static_cast<size_t>(row)].inPlaylist = true;
    UpdateOptionRows();
    RefreshPlaylistColumn();
    UpdateRowStates(false);
  }
  const std::u16string chart = entry.info.path + u"notes.mid";
  if (!FileNonEmpty(chart)) return;
  const std::string md5 = GetFileMD5(chart);
  const bool fresh = !states_[static_cast<size_t>(row)].isSong ||
                     (entry.scores.hasAvailability && SameHash(entry.scores.chartHash, md5) && entry.scores.version > 1);
  if (!fresh) {
    chartCheckEntry = row;
    if (quiet) AnalyseChosenSong();
    else chartCheckPending = true;
    return;
  }
  if (!playlistMode) StartSongs();
}

void SongMenu::AnalyseChosenSong() {
  chartCheckPending = false;
  if (chartCheckEntry < kOptionRows || chartCheckEntry >= library_.count) return;
  SongLibraryEntry& entry = library_.entries[static_cast<size_t>(chartCheckEntry)];
  Song analysed;
  analysed.Load(entry.info.path);
  entry.scores.Load(entry.info.path);
  // The chosen slot reads the refreshed scores too.
  if (Song* slot = PlaylistSlot(playlistMode ? playlistCount_ - 1 : 0)) slot->LoadScores();
  if (!playlistMode) StartSongs();
}

void SongMenu::StartSongs() {
  LevelSession* s = owner_.session;
  if (!owner_.Connected()) {
    requestedMenu = static_cast<int32_t>(s && s->career ? Menu::kStartSong : Menu::kPlayerSelect);
  } else if (Song* first = PlaylistSlot(0)) {
    const std::u16string chart = first->folder + u"notes.mid";
    NetOut song;
    song.type = 1;
    song.code = 27;
    song.a3() = static_cast<int32_t>(std::max<int64_t>(FileBytes(chart), 0));
    if (first->info) song.str1 = first->info->artist + " - " + first->info->name;
    song.str2 = FileNonEmpty(chart) ? GetFileMD5(chart) : std::string();
    owner_.Send(song);
    NetOut loaded;
    loaded.type = 1;
    loaded.code = 28;
    loaded.a3() = 2;
    owner_.Send(loaded);
    requestedMenu = static_cast<int32_t>(Menu::kLobby);
  }
  if (s) {
    s->songCount = std::max(1, playlistCount_);
    s->songIndex = 0;
  }
  const int32_t chosen = std::max(1, playlistCount_);
  for (int32_t k = 0; k < chosen; ++k) {
    const std::u16string f = PlaylistFolder(k);
    for (SongLibraryEntry& e : library_.entries)
      if (!f.empty() && e.info.path == f) e.scores.reloadFlag = 1;
  }
  changeFlag = true;
  endOfInput = true;
  previewTimer = owner_.Now();
}

void SongMenu::ClearPlaylist() {
  playlistCount_ = 0;
  playlistMode = false;
  for (EntryState& st : states_) st.inPlaylist = false;
  UpdateOptionRows();
  RefreshPlaylistColumn();
  UpdateRowStates(false);
}

bool SongMenu::RemoveFromPlaylist(const std::u16string& folder) {
  if (playlistCount_ <= 0) return false;
  int32_t at = -1;
  for (int32_t k = 0; k < playlistCount_ && at < 0; ++k)
    if (PlaylistFolder(k) == folder) at = k;
  if (at < 0) return false;
  for (int32_t k = at; k + 1 < playlistCount_; ++k) {
    Song* to = PlaylistSlot(k);
    to->folder = PlaylistSlot(k + 1)->folder;
    to->LoadInfo();
    to->LoadScores();
  }
  --playlistCount_;
  for (int32_t i = kOptionRows; i < library_.count; ++i)
    if (library_.entries[static_cast<size_t>(i)].info.path == folder) states_[static_cast<size_t>(i)].inPlaylist = false;
  UpdateOptionRows();
  RefreshPlaylistColumn();
  UpdateRowStates(false);
  return true;
}

std::vector<std::u16string> SongMenu::MessageRows() const {
  std::vector<std::u16string> rows;
  if (!chartCheckPending && !clearPrompt && !controllerMismatch) return rows;
  rows.assign(5, std::u16string());
  if (chartCheckPending) {
    rows[1] = owner_.Text(LANG("LANG_SONG_SELECT_UPDATE_1"));
    rows[3] = owner_.Text(LANG("LANG_SONG_SELECT_UPDATE_2"));
  }
  if (clearPrompt) {
    rows[1] = owner_.Text(LANG("LANG_SONG_SELECT_CLEAR_1"));
    rows[3] = owner_.Text(LANG("LANG_SONG_SELECT_CLEAR_2"));
  }
  if (controllerMismatch) {
    rows[1] = owner_.Text(LANG("LANG_SONG_SELECT_CONTROLLER_MATCH_1"));
    rows[2] = owner_.Text(LANG("LANG_SONG_SELECT_CONTROLLER_MATCH_2"));
    rows[3] = owner_.Text(LANG("LANG_SONG_SELECT_CONTROLLER_MATCH_3"));
  }
  return rows;
}

// ---- Functions -------------------------------------------------------------------

void SongMenu::PreviousFunction() {
  owner_.PlaySound(Sound::kBack);
  functionIndex = functionIndex == 0 ? 3 : functionIndex - 1;
  functionName = FunctionName(owner_, functionIndex);
}

void SongMenu::NextFunction() {
  owner_.PlaySound(Sound::kConfirm);
  functionIndex = functionIndex == 3 ? 0 : functionIndex + 1;
  functionName = FunctionName(owner_, functionIndex);
}

void SongMenu::RunFunction(int32_t controller) {
  if (owner_.session && owner_.session->career) return;
  actingController = controller;
  owner_.PlaySound(Sound::kConfirm);
  switch (functionIndex) {
    case 0: SetSortOrder(sortOrder >= 8 ? 0 : sortOrder + 1); break;
    case 1: scoreFilter = scoreFilter >= 14 ? 0 : scoreFilter + 1; break;
    case 2:
      if (library_.count > kOptionRows && selectedRow >= kOptionRows && states_[static_cast<size_t>(selectedRow)].isSong) {
        requestedMenu = static_cast<int32_t>(Menu::kSongOptions);
        changeFlag = true;
      }
      break;
    case 3: ChangeRating(); break;
    default: break;
  }
}

void SongMenu::SetSortOrder(int32_t order) {
  const std::u16string name =
      selectedRow >= kOptionRows && selectedRow < library_.count ? states_[static_cast<size_t>(selectedRow)].displayName : u"";
  sortOrder = order;
  library_.Sort(kOptionRows, order);
  const bool keepMode = playlistMode;
  RebuildStates();
  playlistMode = keepMode;
  if (selectedRow > 1) {
    const int32_t found = FindByDisplayName(name);
    if (found >= 0) selectedRow = found;
  }
  previousRow = -1;
  BindColumns();
}

bool SongMenu::ChangeRating() {
  if (library_.count <= kOptionRows || selectedRow < kOptionRows || clearPrompt) return false;
  if (!states_[static_cast<size_t>(selectedRow)].isSong) return false;
  SongInfo& info = library_.entries[static_cast<size_t>(selectedRow)].info;
  info.rating = info.rating >= 5 ? 0 : info.rating + 1;
  SetSongIniValue(info.path, "rating", std::to_string(info.rating));
  if (owner_.songList)
    if (SongRecord* rec = owner_.songList->FindByPath(info.path)) rec->rating = info.rating;
  owner_.PlaySound(Sound::kBack);
  if (theme_) columns_[kColRating][static_cast<size_t>(selectedRow)].text = Decimal(info.rating);
  return true;
}

void SongMenu::UpdateScoreFilter(int32_t controller) {
  std::string name = "EMPTY";
  if (controller >= 0 && controller < kMaxControllers) name = owner_.seats[static_cast<size_t>(controller)].profile.PLAYERNAME;
  int32_t instrument = scoreInstrument;
  if (scoreFilter >= 0 && scoreFilter <= 12) {
    instrument = kFilterInstrument[static_cast<size_t>(scoreFilter)];
  } else if (scoreFilter == 13) {
    instrument = 0;
  } else {
    switch (owner_.Kind(controller)) {
      case 0: case 5: instrument = 0; break;
      case 1: instrument = 2; break;
      case 2: case 3: instrument = 0; break;
      case 4: instrument = 3; break;
      case 6: instrument = 7; break;
      case 7: instrument = 12; break;
      default: break;
    }
  }
  const int32_t kind = scoreFilter == 13 ? -1 : 1;
  if (name != scorePlayerName || instrument != scoreInstrument || kind != scoreKind) {
    scorePlayerName = name;
    scoreInstrument = instrument;
    scoreKind = kind;
    ++scoreStamp_;  // every row's score columns are now stale
  }
  if (!theme_) return;
  std::u16string subject = scoreFilter == 13 ? owner_.Text(LANG("LANG_INSTRUMENT_BAND"))
                                              : owner_.Text(kInstrumentNames[static_cast<size_t>(std::clamp(scoreInstrument, 0, 14))]);
  if (scoreFilter == 14) subject += u" (" + owner_.Text(LANG("LANG_GENERAL_AUTO")) + u")";
  const std::u16string text = owner_.Text(LANG("LANG_SONG_SELECT_FILTER")) + u" " + ToWide(scorePlayerName) + u" - " + subject;
  theme_->SetText("current_filter", text);
}

void SongMenu::ReloadSongInfo() {
  if (selectedRow < kOptionRows || selectedRow >= library_.count) return;
  SongInfo& info = library_.entries[static_cast<size_t>(selectedRow)].info;
  info.ReadIni(info.path);
  if (theme_) FillRow(selectedRow);
}

void SongMenu::RefreshAfterSong() {
  // The songs chosen to play carry the reload mark: the level wrote their score file
  // and their play count into their "song.ini".
  for (SongLibraryEntry& e : library_.entries) {
    if (!e.scores.reloadFlag || e.info.path.empty()) continue;
    SongInfo now;
    now.ReadIni(e.info.path);
    e.info.count = now.count;
  }
  library_.ReloadScores();
  ++scoreStamp_;
  if (theme_) {
    for (int32_t i = 0; i < library_.count; ++i) FillRow(i);
    RefreshScoreRows(true);
  }
}

// ---- Preview and album art -------------------------------------------------------

bool SongMenu::WaitPreviewThread() {
  if (previewFlag_.load() != kPreviewNone) {
    previewFlag_.store(kPreviewStopRequested);
    uint32_t waited = 0;
    while (previewFlag_.load() != kPreviewNone && waited < kPreviewStopTimeoutMs) {
      platform::SleepMs(kPollMs);
      waited += kPollMs;
    }
    if (previewFlag_.load() != kPreviewNone) LogNarrow("Song preview: the preview thread is slow to stop");
  }
  // The thread writes 0 as its last act, so the join returns at once.
  if (previewThread_.joinable()) previewThread_.join();
  return true;
}

void SongMenu::StartPreview() {
  WaitPreviewThread();
  if (selectedRow < kOptionRows || selectedRow >= library_.count) return;
  previewFolder_ = library_.entries[static_cast<size_t>(selectedRow)].info.path;
  previewStart_ = library_.entries[static_cast<size_t>(selectedRow)].info.preview_start_time;
  previewType_ = owner_.settings ? owner_.settings->mixer.SONGPREVIEWTYPE : 1;
  previewFlag_.store(kPreviewRunning);
  previewThread_ = std::thread([this] { PreviewThread(); });
}

void SongMenu::PreviewThread() {
  std::unique_ptr<PreviewStream> stream;
  if (owner_.loadPreview) stream = owner_.loadPreview(previewFolder_, static_cast<double>(previewStart_), previewType_);
  if (!stream) {
    LogNarrow("Could Not Load Preview");
    previewFlag_.store(kPreviewNone);
    return;
  }
  while (previewFlag_.load() != kPreviewStopRequested) {
    stream->Update();
    platform::SleepMs(kPollMs);
  }
  stream->Stop();
  stream.reset();
  previewFlag_.store(kPreviewNone);
}

void SongMenu::LoadAlbumArt() {
  if (library_.count <= kOptionRows || selectedRow < kOptionRows || selectedRow >= library_.count) return;
  const std::u16string& folder = library_.entries[static_cast<size_t>(selectedRow)].info.path;
  art_.Request(folder + (states_[static_cast<size_t>(selectedRow)].isSong ? u"album.png" : u"label.png"));
}

void SongMenu::TakeAlbumArt() {
  std::shared_ptr<const Picture> picture;
  if (!art_.TakeResult(&picture)) return;
  albumArt_ = std::move(picture);
  if (theme_) theme_->SetImage("album_art", albumArt_);
}

}  // namespace menus
