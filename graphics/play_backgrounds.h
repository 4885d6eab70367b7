// The level's video background and the 3D stage as the frame and the level reach
// them: the level's visuals entries (load, run, pause, stop and delete the video;
// make, bind and update the stage) and the frame's layers (the video's current
// texture, the stage draw, the stage viewer, the device hooks).
//
// The level set-up runs on the Task thread: a video opened there is only decoded
// there, and one deleted there keeps its texture until the main thread's next frame.
#pragma once

#include <memory>

#include "graphics/stage.h"
#include "graphics/video_texture.h"

class LevelVisuals;

namespace graphics {

struct RenderLayers;

// Fills the level's video and stage entries and the frame's layers for them.
void RegisterPlayBackgrounds(LevelVisuals& visuals, RenderLayers& layers);

// The stage of the process (null until the level set-up or the viewer makes one).
Stage* CurrentStage();
// The level's video background (null without one).
VideoTexture* CurrentVideoBackground();

}  // namespace graphics
