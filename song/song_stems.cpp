#include "song/song_stems.h"

#include <atomic>

namespace {
std::atomic<SongStemsFactory> g_factory{nullptr};
}

void SetSongStemsFactory(SongStemsFactory factory) { g_factory.store(factory); }

std::unique_ptr<SongStems> MakeSongStems() {
  const SongStemsFactory factory = g_factory.load();
  return factory ? factory() : nullptr;
}
