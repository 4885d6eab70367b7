// The reactive background: its theme, the song's events and its place in the level.
#include "theme/reactive_background.h"

#include "game/level/level.h"
#include "game/level/level_session.h"
#include "game/player.h"
#include "graphics/render_layers.h"
#include "graphics/shell_services.h"

namespace theme {

namespace {

constexpr std::array<int, 4> kBeatSteps = {1, 2, 4, 8};
constexpr const char* kBeatTriggers[] = {"1", "2", "4", "8"};

std::unique_ptr<ReactiveBackground>& Current() {
  static std::unique_ptr<ReactiveBackground> current;
  return current;
}

}  // namespace

ReactiveBackground::ReactiveBackground(graphics::SceneContext* owner) : owner_(owner) {}

ReactiveBackground::~ReactiveBackground() = default;

bool ReactiveBackground::Load(const std::u16string& name, const std::u16string& folder) {
  theme_.reset();
  auto theme = std::make_unique<MenuTheme>(owner_);
  if (!theme->Load(folder, name)) return false;
  theme_ = std::move(theme);
  name_ = name;
  folder_ = folder;
  return true;
}

bool ReactiveBackground::Reload() {
  const std::u16string name = name_, folder = folder_;
  Load(name, folder);
  return true;
}

float ReactiveBackground::NextBeat(int step) const {
  for (size_t i = 0; i < kBeatSteps.size(); ++i)
    if (kBeatSteps[i] == step) return nextBeat_[i];
  return 0.0f;
}

void ReactiveBackground::Send(std::string_view id, std::string_view row, std::string_view trigger) {
  if (!theme_) return;
  theme_->TriggerEvent(id, row, trigger);
  if (listener) listener(id, row, trigger);
}

void ReactiveBackground::SendSongEvents(const Player* players, int32_t count) {
  if (!players || count <= 0) return;
  // Beats: each step fires at most once a frame, so a jump catches up frame by frame.
  const float beat = static_cast<float>(players[0].track.currentBeat);
  for (size_t i = 0; i < kBeatSteps.size(); ++i) {
    if (nextBeat_[i] <= beat) {
      Send("beat_event", "", kBeatTriggers[i]);
      nextBeat_[i] += static_cast<float>(kBeatSteps[i]);
    }
  }
  bool energy = false;
  for (int32_t p = 0; p < count && !energy; ++p) energy = players[p].score().energyActive;
  if (energy) {
    if (!energyShown_) {
      energyShown_ = true;
      Send("state_event", "", "vl_on");
    }
  } else if (energyShown_) {
    energyShown_ = false;
    Send("state_event", "", "vl_off");
  }
  for (int32_t lane = 0; lane < kLaneSlots; ++lane) {
    for (int32_t p = 0; p < count; ++p) {
      if (!players[p].laneHit[lane]) continue;
      const int32_t kind = players[p].kind;
      NoteEvent(kind == 8 || kind == 14 ? lane % 7 + 1 : lane);
      break;
    }
  }
  for (int32_t p = 0; p < count; ++p) {
    if (players[p].score().comboBroken) {
      ComboBreak();
      break;
    }
  }
}

void ReactiveBackground::NoteEvent(int32_t value) {
  const std::string row = std::to_string(value);
  Send("note_event", row, "hit");
  Send("note_event", "", "hit");
}

void ReactiveBackground::ComboBreak() { Send("state_event", "", "combo_break"); }

ReactiveBackground* CurrentReactiveBackground() { return Current().get(); }

void RegisterReactiveBackground(LevelVisuals& visuals, graphics::RenderLayers& layers) {
  visuals.loadReactive = [](const std::string& name, const std::u16string& folder) {
    Current() = std::make_unique<ReactiveBackground>(graphics::CurrentSceneContext());
    Current()->Load(std::u16string(name.begin(), name.end()), folder);
  };
  visuals.hasReactive = [] { return Current() != nullptr; };
  visuals.sendReactiveEvents = [] {
    if (Current()) Current()->SendSongEvents(Level().players.get(), Level().playerCount);
  };
  // Play starts: the theme's elements back to their first state.
  visuals.resetReactiveTheme = [] {
    if (Current() && Current()->Theme()) Current()->Theme()->ResetElements();
  };
  visuals.deleteReactive = [] { Current().reset(); };
  layers.drawReactiveBackground = [](int32_t) {
    if (Current() && Current()->Theme()) Current()->Theme()->Render();
  };
  layers.reloadReactiveBackground = [] {
    if (Current()) Current()->Reload();
  };
  layers.destroyReactiveBackground = [] { Current().reset(); };
}

}  // namespace theme
