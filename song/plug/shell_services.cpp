#include "song/shell_services.h"

#include <atomic>
#include <memory>

namespace song {

namespace {

std::unique_ptr<Song[]> g_owned;
// Published after the slots are made, so that a thread that sees them sees them whole.
std::atomic<Song*> g_slots{nullptr};

void CreateSongSlots() {
  if (g_slots.load()) return;  // made once per run
  g_owned = std::make_unique<Song[]>(kSongSlotCount);
  g_slots.store(g_owned.get());
}

void DestroySongSlots() {
  g_slots.store(nullptr);
  g_owned.reset();
}

}  // namespace

Song* SongSlots() { return g_slots.load(); }

Song* SongSlot(int slot) {
  Song* slots = g_slots.load();
  if (!slots || slot < 0 || slot >= kSongSlotCount) return nullptr;
  return &slots[slot];
}

void RegisterShellServices(shell::Services& services) {
  shell::SongServices& s = services.song;
  s.createSongSlots = CreateSongSlots;
  s.destroySongSlots = DestroySongSlots;
  s.isCalibrationSong = [](int slot) {
    const Song* song = SongSlot(slot);
    return song && song->info && song->info->vl_calibrator;
  };
}

}  // namespace song
