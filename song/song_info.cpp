#include "song/song_info.h"

#include "core/log.h"
#include "core/utils.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

// A "song.ini" is a few kilobytes; anything near this is not one.
constexpr size_t kMaxIniBytes = size_t(4) << 20;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file, viewed in place: its text without the line end, and the
// line end itself ("\n", "\r\n", or empty for a last line without one). Files are
// walked line by line, never split into a list: a file of a million blank lines
// costs no more than its own bytes.
struct IniLine {
  std::string_view text;
  std::string_view end;
};

// The line that starts at `at` (which must be inside the bytes).
IniLine LineAt(std::string_view bytes, size_t at) {
  const size_t nl = bytes.find('\n', at);
  if (nl == std::string_view::npos) return {bytes.substr(at), std::string_view()};
  size_t textEnd = nl;
  if (textEnd > at && bytes[textEnd - 1] == '\r') --textEnd;
  return {bytes.substr(at, textEnd - at), bytes.substr(textEnd, nl + 1 - textEnd)};
}

// The text of a line as the parser sees it: the byte-order mark of the first line
// is not part of it.
std::string_view LineText(const IniLine& line, size_t at) {
  std::string_view text = line.text;
  if (at == 0 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  return text;
}

// The offset just past the "[song]" line (the first line that is not blank), or npos.
size_t FindHeader(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const IniLine line = LineAt(bytes, at);
    const std::string_view t = Trim(LineText(line, at));
    const size_t next = at + line.text.size() + line.end.size();
    if (!t.empty()) return platform::EqualsNoCaseAscii(t, "[song]") ? next : std::string_view::npos;
    at = next;
  }
  return std::string_view::npos;
}

std::u16string WithSlash(std::u16string_view folder) {
  std::u16string f = platform::ToSlashes(folder);
  if (!f.empty() && f.back() != u'/') f.push_back(u'/');
  return f;
}

bool ReadsTrue(std::string_view v) { return platform::EqualsNoCaseAscii(v, "True"); }

// The integer switches are written "1"/"0" by the program, while chart tools often
// write "True"/"False"; both read as meant.
bool ReadsSwitch(std::string_view v) { return ReadsTrue(v) || platform::AtoI(v) != 0; }

enum class Kind { kText, kInt, kSwitch, kTrue, kRating, kTuning };

struct KeyRule {
  const char* key;
  Kind kind;
  std::string SongInfo::*text = nullptr;
  int32_t SongInfo::*number = nullptr;
  bool SongInfo::*flag = nullptr;
  std::array<int32_t, 6> SongInfo::*tuning = nullptr;
};

KeyRule Text(const char* k, std::string SongInfo::*m) { return {k, Kind::kText, m, nullptr, nullptr, nullptr}; }
KeyRule Int(const char* k, int32_t SongInfo::*m) { return {k, Kind::kInt, nullptr, m, nullptr, nullptr}; }
KeyRule Switch(const char* k, bool SongInfo::*m) { return {k, Kind::kSwitch, nullptr, nullptr, m, nullptr}; }
KeyRule TrueFlag(const char* k, bool SongInfo::*m) { return {k, Kind::kTrue, nullptr, nullptr, m, nullptr}; }
KeyRule Tuning(const char* k, std::array<int32_t, 6> SongInfo::*m) {
  return {k, Kind::kTuning, nullptr, nullptr, nullptr, m};
}

const std::vector<KeyRule>& Rules() {
  static const std::vector<KeyRule> rules = {
      Text("name", &SongInfo::name),
      Text("artist", &SongInfo::artist),
      Text("year", &SongInfo::year),
      Text("track", &SongInfo::track),
      Text("album", &SongInfo::album),
      Text("genre", &SongInfo::genre),
      Int("delay", &SongInfo::delay),
      Int("kit_type", &SongInfo::kit_type),
      Int("keys_type", &SongInfo::keys_type),
      Int("guitar_type", &SongInfo::guitar_type),
      Int("bass_type", &SongInfo::bass_type),
      Int("dance_type", &SongInfo::dance_type),
      Int("diff_band", &SongInfo::diff_band),
      Int("diff_guitar", &SongInfo::diff_guitar),
      Int("diff_drums", &SongInfo::diff_drums),
      Int("diff_bass", &SongInfo::diff_bass),
      Int("diff_keys", &SongInfo::diff_keys),
      Int("diff_vocals", &SongInfo::diff_vocals),
      Int("diff_guitar_real", &SongInfo::diff_guitar_real),
      Int("diff_drums_real", &SongInfo::diff_drums_real),
      Int("diff_bass_real", &SongInfo::diff_bass_real),
      Int("diff_keys_real", &SongInfo::diff_keys_real),
      Int("diff_vocals_harm", &SongInfo::diff_vocals_harm),
      Int("diff_dance", &SongInfo::diff_dance),
      Int("diff_drums_real_vl", &SongInfo::diff_drums_real_vl),
      Int("diff_keys_real_vl", &SongInfo::diff_keys_real_vl),
      Int("diff_guitar_coop", &SongInfo::diff_guitar_coop),
      Int("diff_rhythm", &SongInfo::diff_rhythm),
      Text("icon", &SongInfo::icon),
      Text("loading_phrase", &SongInfo::loading_phrase),
      Text("frets", &SongInfo::charter),
      Text("charter", &SongInfo::charter),
      Text("video", &SongInfo::video),
      Text("background", &SongInfo::background),
      Text("banner_link_a", &SongInfo::banner_link_a),
      Text("banner_link_b", &SongInfo::banner_link_b),
      Text("link_name_a", &SongInfo::link_name_a),
      Text("link_name_b", &SongInfo::link_name_b),
      Text("last_play", &SongInfo::last_play),
      Switch("video_loop", &SongInfo::video_loop),
      Switch("vl_calibrator", &SongInfo::vl_calibrator),
      Int("hopo_frequency", &SongInfo::hopo_frequency),
      Switch("eighthnote_hopo", &SongInfo::eighthnote_hopo),
      {"rating", Kind::kRating, nullptr, &SongInfo::rating, nullptr, nullptr},
      Int("count", &SongInfo::count),
      Int("song_length", &SongInfo::song_length),
      Int("video_start_time", &SongInfo::video_start_time),
      Int("video_end_time", &SongInfo::video_end_time),
      Int("preview_start_time", &SongInfo::preview_start_time),
      TrueFlag("sysex_slider", &SongInfo::sysex_slider),
      TrueFlag("sysex_pro_slide", &SongInfo::sysex_pro_slide),
      TrueFlag("sysex_high_hat_ctrl", &SongInfo::sysex_high_hat_ctrl),
      TrueFlag("sysex_rimshot", &SongInfo::sysex_rimshot),
      TrueFlag("sysex_open_bass", &SongInfo::sysex_open_bass),
      TrueFlag("five_lane_drums", &SongInfo::five_lane_drums),
      TrueFlag("drum_fallback_blue", &SongInfo::drum_fallback_blue),
      Int("multiplier_note", &SongInfo::multiplier_note),
      Int("real_keys_lane_count_right", &SongInfo::real_keys_lane_count_right),
      Int("real_keys_lane_count_left", &SongInfo::real_keys_lane_count_left),
      Tuning("real_guitar_tuning", &SongInfo::real_guitar_tuning),
      Tuning("real_bass_tuning", &SongInfo::real_bass_tuning),
  };
  return rules;
}

void Apply(SongInfo& info, const KeyRule& rule, std::string_view value) {
  switch (rule.kind) {
    case Kind::kText: info.*rule.text = std::string(value); break;
    case Kind::kInt: info.*rule.number = platform::AtoI(value); break;
    case Kind::kSwitch: info.*rule.flag = ReadsSwitch(value); break;
    case Kind::kTrue: info.*rule.flag = ReadsTrue(value); break;
    case Kind::kRating: {
      int32_t r = platform::AtoI(value);
      info.*rule.number = r > 5 ? 5 : (r < 0 ? 0 : r);
      break;
    }
    case Kind::kTuning: ParseTuning(info.*rule.tuning, value); break;
  }
}

std::string TuningText(const std::array<int32_t, 6>& t) {
  std::string s;
  for (int32_t v : t) s += std::to_string(v) + " ";
  return s;
}

// A value that holds a line end would split into two lines of the file.
std::string OneLine(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

void SongInfo::Reset() { *this = SongInfo(); }

void SongInfo::Clear() {
  for (std::string* s : {&name, &artist, &album, &genre, &year, &track, &icon, &loading_phrase, &charter, &video,
                         &background, &banner_link_a, &banner_link_b, &link_name_a, &link_name_b, &last_play}) {
    std::string().swap(*s);
  }
  std::u16string().swap(path);
  std::u16string().swap(folder);
  // Without its path the record no longer names a file it could be saved to.
  iniFound = iniRead = false;
}

bool SongInfo::ReadIni(std::u16string_view songFolder) {
  Reset();
  path = WithSlash(songFolder);
  SplitPath(path, &folder, nullptr);

  const std::u16string file = path + u"song.ini";
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes, kMaxIniBytes)) {
    if (!platform::IsRegularFile(platform::ResolvePath(platform::PathToNative(file)))) {
      name = ToNarrow(folder);
      return true;
    }
    // There is a file, but not one this reader can take.
    iniFound = true;
    name = "song.ini Error";
    LogNarrow("song.ini could not be read: " + platform::PathToNative(file));
    return true;
  }
  iniFound = true;
  ParseIni(bytes);
  return true;
}

void SongInfo::ParseIni(std::string_view bytes) {
  const size_t body = FindHeader(bytes);
  if (body == std::string_view::npos) {
    name = "song.ini Error";
    iniRead = false;
    return;
  }
  iniRead = true;
  const auto& rules = Rules();
  std::string key, value;
  for (size_t at = body; at < bytes.size();) {
    const IniLine line = LineAt(bytes, at);
    at += line.text.size() + line.end.size();
    if (!SplitSongIniLine(line.text, key, value)) continue;
    for (const KeyRule& rule : rules) {
      if (platform::EqualsNoCaseAscii(key, rule.key)) {
        Apply(*this, rule, value);
        break;
      }
    }
  }
}

bool SongInfo::SaveIni() const {
  if (!iniFound || !iniRead || path.empty()) {
    LogNarrow("song.ini not saved, it was not read: " + platform::PathToNative(path) + "song.ini");
    return false;
  }
  auto n = [](int32_t v) { return std::to_string(v); };
  const std::vector<std::pair<std::string, std::string>> values = {
      {"name", name},
      {"artist", artist},
      {"year", year},
      {"album", album},
      {"genre", genre},
      {"delay", n(delay)},
      {"kit_type", n(kit_type)},
      {"keys_type", n(keys_type)},
      {"guitar_type", n(guitar_type)},
      {"bass_type", n(bass_type)},
      {"dance_type", n(dance_type)},
      {"diff_band", n(diff_band)},
      {"diff_guitar", n(diff_guitar)},
      {"diff_drums", n(diff_drums)},
      {"diff_bass", n(diff_bass)},
      {"diff_keys", n(diff_keys)},
      {"diff_vocals", n(diff_vocals)},
      {"diff_guitar_real", n(diff_guitar_real)},
      {"diff_drums_real", n(diff_drums_real)},
      {"diff_bass_real", n(diff_bass_real)},
      {"diff_keys_real", n(diff_keys_real)},
      {"diff_vocals_harm", n(diff_vocals_harm)},
      {"diff_dance", n(diff_dance)},
      {"diff_drums_real_vl", n(diff_drums_real_vl)},
      {"diff_keys_real_vl", n(diff_keys_real_vl)},
      {"diff_guitar_coop", n(diff_guitar_coop)},
      {"diff_rhythm", n(diff_rhythm)},
      {"loading_phrase", loading_phrase},
      {"charter", charter},
      {"video", video},
      {"background", background},
      {"video_loop", BoolToIniText(video_loop)},
      {"eighthnote_hopo", BoolToIniText(eighthnote_hopo)},
      {"rating", n(rating)},
      {"count", n(count)},
      {"video_start_time", n(video_start_time)},
      {"video_end_time", n(video_end_time)},
      {"preview_start_time", n(preview_start_time)},
      {"real_keys_lane_count_right", n(real_keys_lane_count_right)},
      {"real_keys_lane_count_left", n(real_keys_lane_count_left)},
      {"last_play", last_play},
      {"real_guitar_tuning", TuningText(real_guitar_tuning)},
      {"real_bass_tuning", TuningText(real_bass_tuning)},
  };
  return SetSongIniValues(path, values);
}

bool SetSongIniValue(std::u16string_view songFolder, std::string_view key, std::string_view value) {
  return SetSongIniValues(songFolder, {{std::string(key), std::string(value)}});
}

bool SetSongIniValues(std::u16string_view songFolder, const std::vector<std::pair<std::string, std::string>>& values) {
  const std::u16string file = WithSlash(songFolder) + u"song.ini";
  const std::string native = platform::PathToNative(file);
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes, kMaxIniBytes)) {
    if (platform::IsRegularFile(platform::ResolvePath(native))) {
      LogNarrow("song.ini not changed, it could not be read: " + native);
    }
    return false;  // no file: nothing is created
  }
  std::string edited = bytes;
  if (!EditSongIniBytes(edited, values)) {
    LogNarrow("song.ini not changed, it has no [song] line: " + native);
    return false;
  }
  if (edited == bytes) return true;
  if (!platform::WriteFileAtomic(file, edited)) {
    LogNarrow("song.ini could not be written: " + native);
    return false;
  }
  return true;
}

bool EditSongIniBytes(std::string& bytes, const std::vector<std::pair<std::string, std::string>>& values) {
  const std::string_view in(bytes);
  // Zero bytes in a file without its "[song]" line: UTF-16 or no text at all, which a
  // line editor would only damage. A file the reader took (it has the line) is edited
  // as it always was, stray zero bytes and all.
  if (bytes.find('\0') != std::string::npos && FindHeader(in) == std::string_view::npos) return false;
  // New lines take the file's own line end.
  std::string lineEnd = "\r\n";
  if (const size_t nl = in.find('\n'); nl != std::string_view::npos) lineEnd = (nl > 0 && in[nl - 1] == '\r') ? "\r\n" : "\n";

  std::string out;
  out.reserve(bytes.size() + 64 * values.size() + 16);
  size_t at = 0;
  // A text file without its "[song]" line gets one, so that what is written here
  // (the play count) is read again; the byte-order mark stays first.
  if (FindHeader(in) == std::string_view::npos) {
    if (in.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
      out += kUtf8Bom;
      at = kUtf8Bom.size();
    }
    out += "[song]" + lineEnd;
  }

  // Each line once: a key line takes the last value given for its key, unless it
  // already says so (then the user's line stays as typed).
  std::vector<bool> matched(values.size(), false);
  size_t insertAt = out.size();       // after the last line that is not blank
  bool lastLineUnended = false;
  std::string lineKey, lineValue;
  while (at < in.size()) {
    const IniLine line = LineAt(in, at);
    const std::string_view text = LineText(line, at);
    const bool bom = text.size() != line.text.size();
    long chosen = -1;
    if (SplitSongIniLine(text, lineKey, lineValue)) {
      for (size_t k = 0; k < values.size(); ++k) {
        if (!platform::EqualsNoCaseAscii(lineKey, values[k].first)) continue;
        matched[k] = true;
        chosen = static_cast<long>(k);
      }
    }
    if (chosen >= 0 && lineValue != Trim(OneLine(values[static_cast<size_t>(chosen)].second))) {
      const auto& [key, rawValue] = values[static_cast<size_t>(chosen)];
      if (bom) out += kUtf8Bom;
      // Written as given (the tunings end in a blank); compared as the reader sees it.
      out += OneLine(key) + " = " + OneLine(rawValue);
    } else {
      out += line.text;
    }
    out += line.end;
    if (!Trim(text).empty()) {
      insertAt = out.size();
      lastLineUnended = line.end.empty();
    }
    at += line.text.size() + line.end.size();
  }

  // Keys the file does not hold yet go after its last line that is not blank.
  std::string added;
  for (size_t k = 0; k < values.size(); ++k) {
    if (matched[k]) continue;
    added += OneLine(values[k].first) + " = " + OneLine(values[k].second) + lineEnd;
  }
  if (!added.empty()) {
    if (lastLineUnended) added.insert(0, lineEnd);
    out.insert(insertAt, added);
  }
  bytes = std::move(out);
  return true;
}

bool SplitSongIniLine(std::string_view line, std::string& key, std::string& value) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view k = Trim(line.substr(0, eq));
  if (k.empty()) return false;
  key.assign(k);
  value.assign(Trim(line.substr(eq + 1)));
  return true;
}

bool ParseTuning(std::array<int32_t, 6>& values, std::string_view text) {
  size_t pos = 0;
  int taken = 0;
  while (taken < 6) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos >= text.size()) break;
    size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    values[taken++] = platform::AtoI(text.substr(pos, end - pos));
    pos = end;
  }
  return taken == 6;
}

const char* BoolToIniText(bool value) { return value ? "1" : "0"; }
