// Key sampling and track playback of the animation controller.
#include "graphics/animation.h"

#include <algorithm>
#include <cmath>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

namespace graphics {
namespace {

using platform::model::XAnimationTrack;
using platform::model::XRotationKey;
using platform::model::XVectorKey;

// Index of the last key at or before ticks (0 when before the first).
template <typename Key>
size_t KeyBefore(const std::vector<Key>& keys, double ticks) {
  auto after = std::upper_bound(keys.begin(), keys.end(), ticks,
                                [](double t, const Key& key) { return t < key.time; });
  return after == keys.begin() ? 0 : static_cast<size_t>(after - keys.begin()) - 1;
}

template <typename Key>
float Fraction(const Key& a, const Key& b, double ticks) {
  double span = b.time - a.time;
  if (span <= 0.0) return 0.0f;
  return static_cast<float>(std::clamp((ticks - a.time) / span, 0.0, 1.0));
}

glm::vec3 SampleVector(const std::vector<XVectorKey>& keys, double ticks, glm::vec3 neutral) {
  if (keys.empty()) return neutral;
  size_t i = KeyBefore(keys, ticks);
  if (i + 1 >= keys.size()) return keys[i].value;
  return glm::mix(keys[i].value, keys[i + 1].value, Fraction(keys[i], keys[i + 1], ticks));
}

glm::quat SampleRotation(const std::vector<XRotationKey>& keys, double ticks) {
  if (keys.empty()) return glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
  size_t i = KeyBefore(keys, ticks);
  if (i + 1 >= keys.size()) return keys[i].value;
  return glm::slerp(keys[i].value, keys[i + 1].value, Fraction(keys[i], keys[i + 1], ticks));
}

}  // namespace

glm::mat4 SampleTrack(const XAnimationTrack& track, double ticks) {
  glm::vec3 scale = SampleVector(track.scaleKeys, ticks, glm::vec3(1.0f));
  glm::quat rotation = SampleRotation(track.rotationKeys, ticks);
  glm::vec3 position = SampleVector(track.positionKeys, ticks, glm::vec3(0.0f));
  // Scale first, then rotate, then move.
  return glm::translate(glm::mat4(1.0f), position) * glm::mat4_cast(rotation) *
         glm::scale(glm::mat4(1.0f), scale);
}

AnimationController::AnimationController(const platform::model::XModel& model) {
  for (const auto& data : model.animationSets) {
    Set set{data, {}};
    for (const auto& track : data.tracks) set.trackFrames.push_back(model.FindFrame(track.frameName));
    sets_.push_back(std::move(set));
  }
}

const std::string& AnimationController::GetSetName(uint32_t index) const {
  static const std::string kNone;
  return index < sets_.size() ? sets_[index].data.name : kNone;
}

double AnimationController::GetSetPeriod(uint32_t index) const {
  if (index >= sets_.size()) return 0.0;
  const auto& data = sets_[index].data;
  return data.ticksPerSecond > 0.0 ? data.lengthTicks / data.ticksPerSecond : 0.0;
}

void AnimationController::SetTrackAnimationSet(uint32_t index) {
  if (index < sets_.size()) set_ = index;
}

void AnimationController::AdvanceTime(double seconds, std::vector<glm::mat4>& frameLocals) {
  position_ += seconds * speed_;
  ApplyPose(frameLocals);
}

void AnimationController::ApplyPose(std::vector<glm::mat4>& frameLocals) const {
  if (!enabled_ || set_ >= sets_.size()) return;
  const Set& set = sets_[set_];
  double period = GetSetPeriod(set_);
  double local = position_;
  if (period > 0.0) {
    local = std::fmod(position_, period);
    if (local < 0.0) local += period;
  } else {
    local = 0.0;
  }
  double ticks = local * set.data.ticksPerSecond;
  for (size_t t = 0; t < set.data.tracks.size(); ++t) {
    int frame = set.trackFrames[t];
    if (frame < 0 || static_cast<size_t>(frame) >= frameLocals.size()) continue;
    frameLocals[frame] = SampleTrack(set.data.tracks[t], ticks);
  }
}

}  // namespace graphics
