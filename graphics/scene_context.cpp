// The scene context and the renderer's 2D routines.
#include "graphics/scene_context.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace gfx = platform::gfx;

SceneGlobals& Globals() {
  static SceneGlobals globals;
  return globals;
}

void SceneContext::Init(int* width, int* height, Settings* settingsRecord) {
  const SceneGlobals& g = Globals();
  screenWidth = width;
  screenHeight = height;
  systemFont = g.systemFont;
  device = g.device;
  for (size_t i = 0; i < cameras.size(); ++i) cameras[i] = g.cameras ? g.cameras->all[i].get() : nullptr;
  sprite = g.sprite;
  controllers = g.controllers;
  sound = g.sound;
  settings = settingsRecord;
  textEntry = g.textEntry;
  gameClient = g.gameClient;
  gameServer = g.gameServer;
  musicThreadRunning = g.musicThreadRunning;
  serverState = g.serverState;
  firstFlag = practice = career = demoPlayback = flip = false;
  eye = 0;
  resolutionChangeRequested = false;
  fonts.Release();
  songs = g.songs;
  integerA = integerB = integerC = integerD = integerE = 0;
  assets = g.assets;
  quad = g.quad;
  entryRecord = g.entryRecord;
  half = 0.5f;
  processWord = g.processWord;
}

gfx::Rect AnchoredTextBox(gfx::SystemFont* font, std::string_view text, float x, float y, float anchorX,
                          float anchorY) {
  gfx::Rect box;
  if (!font) return box;
  font->DrawText(nullptr, text, box, gfx::text_format::kCalcRect, 0);
  float w = float(box.Width()), h = float(box.Height());
  float left = x - w * anchorX / 100.0f;
  float top = y - h * anchorY / 100.0f;
  return gfx::Rect{int(left), int(top), int(left + w), int(top + h)};
}

void DrawTextAnchored(gfx::SystemFont* font, uint32_t argb, std::string_view text, float x, float y, float anchorX,
                      float anchorY) {
  if (!font) return;
  gfx::Rect box = AnchoredTextBox(font, text, x, y, anchorX, anchorY);
  font->DrawText(nullptr, text, box, gfx::text_format::kCenter, argb);
}

float StereoDepthOffset(int32_t level, int32_t width, float aspect) {
  static constexpr float kDepth[] = {0.008f, 0.021f, 0.034f, 0.047f, 0.052f, -0.012f};
  float k = (level >= 0 && level < 6) ? kDepth[level] : kDepth[0];
  return float(width) * k / aspect;
}

void Sprite::DrawCropped(gfx::Sprite** sprite, const gfx::Texture* texture, float depth, float rotation, int32_t fit,
                         int32_t targetWidth, int32_t targetHeight, float alpha, float stereoOffset,
                         int32_t stereoRight, float x, float y, float scaleX, float scaleY, float centreX,
                         float centreY, float left, float top, float right, float bottom) {
  if (!texture || !sprite || !*sprite) return;
  if (left == 0.0f && top == 0.0f && right == 0.0f && bottom == 0.0f) {
    right = float(texture->Width());
    bottom = float(texture->Height());
  }
  gfx::Rect src{int(left), int(top), int(right), int(bottom)};
  float w = float(src.Width()), h = float(src.Height());
  gfx::Vec2 centre(centreX * w / 100.0f, centreY * h / 100.0f);
  x -= centre.x;
  y -= centre.y;
  if (fit == kFitHeight && h != 0.0f) {
    scaleX = scaleY = float(targetHeight) / h;
  } else if (fit == kStretch && w != 0.0f && h != 0.0f) {
    scaleX = float(targetWidth) / w;
    scaleY = float(targetHeight) / h;
  }
  if (stereoOffset != 0.0f) {
    float f = stereoOffset / (float(targetWidth) * 0.5f) + 1.0f;
    scaleX *= f;
    scaleY *= f;
    x = stereoRight == 0 ? x - stereoOffset : x + stereoOffset;
  }
  gfx::Sprite* s = *sprite;
  s->SetTransform(gfx::Matrix::Transformation2D(centre, gfx::Vec2(scaleX, scaleY), centre, rotation,
                                                gfx::Vec2(x, y)));
  gfx::Vec3 position(0.0f, 0.0f, depth);
  uint32_t a = uint32_t(std::max(0.0f, std::min(alpha, 1.0f)) * 255.0f);
  s->Draw(texture, &src, nullptr, &position, gfx::Argb(a, 255, 255, 255));
  s->SetTransform(gfx::Matrix());
}

uint32_t StereoEyeTint(int32_t eye, int32_t method) {
  switch (StereoMethod(method)) {
    case StereoMethod::kCyanRed: return eye == 0 ? 0xFF00FFFFu : 0xFFFF0000u;
    case StereoMethod::kMagentaGreen: return eye == 0 ? 0xFFFF00FFu : 0xFF00FF00u;
    case StereoMethod::kBlueYellow: return eye == 0 ? 0xFF0000FFu : 0xFFFFFF00u;
    default: return 0xFFFFFFFFu;
  }
}

void DrawStereoEye(gfx::Sprite* sprite, const gfx::Texture* texture, int32_t eye, int32_t method, int32_t width) {
  if (!sprite || !texture) return;
  gfx::Vec2 scaling(1.0f, 1.0f), placement(0.0f, 0.0f);
  if (method == int32_t(StereoMethod::kSideBySide)) {
    scaling = gfx::Vec2(0.5f, 1.0f);
    if (eye == 1) placement.x = float(width / 2);
  }
  sprite->SetTransform(gfx::Matrix::Transformation2D(gfx::Vec2(0.0f), scaling, gfx::Vec2(0.0f), 0.0f, placement));
  sprite->Draw(texture, nullptr, nullptr, nullptr, StereoEyeTint(eye, method));
  sprite->SetTransform(gfx::Matrix());
}

gfx::Matrix BuildTextureMatrix2D(float x, float y, float scaleX, float scaleY, float width, float height) {
  gfx::Matrix m;
  m.at(1, 1) = scaleX;
  m.at(2, 2) = scaleY;
  m.at(3, 1) = x / width + (scaleX * 0.5f - 0.5f);
  m.at(3, 2) = -(y / height) - (scaleY * 0.5f - 0.5f);
  return m;
}

}  // namespace graphics
