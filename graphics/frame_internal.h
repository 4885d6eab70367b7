// Helpers shared by the frame's screens (not for other code): the device, the render
// size, the cameras and the eye placement of a camera.
#pragma once

#include <cstdint>

#include "graphics/camera.h"
#include "graphics/transform.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sprite.h"

namespace graphics::frame {

constexpr float kPi = 3.14159265358979f;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

platform::gfx::RenderDevice* Device();
platform::gfx::Sprite** SpriteSlot();
platform::gfx::Sprite* SharedSprite();
int32_t RenderWidth();
int32_t RenderHeight();
float Aspect();
bool Stereo();
Camera* GetCamera(CameraId id);

// Places a camera for one eye of a stereoscopic pass: without stereo the camera
// sits at the position unturned; otherwise eye 0 moves left by the separation and
// turns by -angle, eye 1 moves right and turns by +angle (degrees).
void PlaceEyeCamera(Camera& camera, int32_t stereoMethod, float x, float y, float z, float yaw, float pitch,
                    float roll, float separation, int32_t eye, float angleDegrees);

// Left-handed perspective with vertical field of view pi / divisor at the render
// aspect.
void SetPerspective(float divisor, float farPlane, float aspect);

// The free-look camera at (0, 0, -2220) for the eye with the menus' separation and
// angle, its projection (far 10000) and view: the camera of the menus, the song-load
// screen and the play overlays.
void SetMenuCamera(int32_t eye);

// Frees the note-model viewer's model.
void ReleaseViewerModel();
// Frees the play background picture now (main thread, device alive).
void DropPlayPicture();
// Frees the picture's texture and the viewer model's textures on the device about to
// go; both are made again from their pixels and file on the next device.
void RemakePlayPicture();
void RemakeViewerModel();

}  // namespace graphics::frame

namespace graphics {
// The free-look camera's record that the view keys move, and its copy to and from
// the camera the viewer draws with.
void SyncFreeLookFromCamera(const Camera& camera);
void ApplyFreeLookToCamera(Camera& camera);
// The turn of the note-view model (the arrow keys), or null without the model.
void SetNoteViewModel(Transform* placement, bool keepTurn = false);
// Turns the note-view model by the keys' angles (about y, then x).
void ApplyNoteViewTurn();
}  // namespace graphics
