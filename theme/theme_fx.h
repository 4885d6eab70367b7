// One animation of a theme element: it drives a single channel (position x, scale y,
// colour r, alpha ...) of its own Transform between a start and an end value, in one
// of seven ways, and the element folds that Transform into its own as it draws. An fx
// runs from the moment its element is reset (no trigger) or waits for a named event
// addressed to its id and row; the sibling event ("hover_off" for "hover_on") stops it.
//
// An fx keeps no pointer into itself: the channel is found from the target each time
// and the tween and timer are pointed at this fx's own fields before every use. So a
// copy (the rows of a list copy the list's row animations) is independent of its
// source from the first moment, whether the source was running or not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/animators.h"
#include "graphics/transform.h"

class TextDocument;

namespace graphics {
struct SceneContext;
}

namespace theme {

// The channel an fx drives; the numbers are the codes of the target table.
enum class FxTarget : int32_t {
  kPositionX = 0, kPositionY, kPositionZ,
  kScaleX, kScaleY, kScaleZ,
  kRotateX, kRotateY, kRotateZ,
  kColourR, kColourG, kColourB,
  kAlpha,
  kTextureU, kTextureV, kTextureW,
};
inline constexpr int32_t kFxTargetCount = 16;

enum class FxType : int32_t {
  kLinear = 0,
  kPingPong = 1,
  kSwitch = 2,
  kRandom = 3,
  kSine = 4,
  kSet = 5,
  kValue = 6,
};

// The document names of targets and types; false (and no change) for an unknown name.
bool FxTargetFromName(std::u16string_view name, int32_t* target);
bool FxTypeFromName(std::u16string_view name, int32_t* type);

// While the renderer draws the second eye of a stereoscopic frame, fxs do not advance,
// so an animation moves once per frame even when the frame is drawn twice.
void SetSecondEyePass(bool secondEye);
bool SecondEyePass();

class ThemeFx {
 public:
  ThemeFx() = default;

  // Reads the keys of an fx block up to its end tag ("/fx") or the end of the
  // document, then converts units and binds the channel. A block cut off by the end
  // of the document is closed there the same way.
  bool Parse(TextDocument& document, graphics::SceneContext* owner);
  // Start, end and speed from the written units to the channel's.
  void ConvertUnits();
  // Binds the channel named by target; a target outside the table leaves it unbound.
  void BindTarget();

  // Starts or restarts from the beginning.
  void Start();
  // Inactive, transform neutral, tween and timer stopped; switch_state is kept.
  void Stop();
  // Advances and writes the channel; false when nothing was done (inactive, unbound,
  // or the second-eye pass). value feeds the "value" type.
  bool Update(int32_t value);
  // The event rule: starts on a matching trigger, stops on its sibling event.
  bool TriggerBySubId(std::string_view elementId, std::string_view row, std::string_view event);

  // The written channel of this fx's transform, or null before binding.
  float* Channel();
  bool Bound() const { return bound; }
  bool Active() const { return active; }

  graphics::Transform transform;
  graphics::SceneContext* owner = nullptr;
  float speed = 1.0f;  // units per second after conversion
  float start = 0.0f;
  float end = 0.0f;
  int32_t delay = 0;  // ms
  int32_t fxType = 0;  // FxType
  int32_t target = 0;  // FxTarget
  bool loop = true;
  bool switchState = false;
  float rate = 0.0f;  // ms between toggles; for sine the radians gained per 10 s
  std::u16string id;
  std::u16string subId;
  std::u16string trigger;
  bool inheritSubId = false;
  bool subIdWild = false;
  ValueAnimator2 tween;
  ToggleTimer timer;
  uint32_t elapsed = 0;     // ms since the start
  uint32_t startTime = 0;   // clock value at construction and at each start
  bool active = false;
  bool additiveAlpha = false;
  int32_t loopDelay = 0;  // ms
  bool bound = false;

 private:
  // Points tween and timer at this fx's own channel, clock and flag.
  void PointAnimatorsHere();
  // Keeps a linear or ping-pong value inside its start..end span whatever the frame
  // time was (a long stall must not carry the value out of its range).
  void KeepTweenInSpan();
};

// Folds an fx's transform into an element's running transform: positions, rotations
// and texture offsets add; scales, colours and alpha multiply, except that an active
// fx with additive_alpha adds its alpha. Texts also tint their highlight colour.
void FoldFx(graphics::Transform& into, const ThemeFx& fx, bool highlightFollowsColour = false);

}  // namespace theme
