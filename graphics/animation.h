// The animation controller of a loaded .X model: the model's animation sets, one
// track that plays a chosen set at a position, speed and weight, and the step that
// advances the track and writes the local matrix of every frame the set animates.
// Sets repeat: a track position past the set's period wraps around. Whether the end of
// a set is acted on is for the caller (the mesh instance keeps its own play time).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "platform/model/xfile.h"

namespace graphics {

// The local matrix S x R x T (file order: scale first) of one track at a time in
// ticks; keys are interpolated linearly (rotations by slerp) and held before the
// first and after the last key. A track without keys of a kind uses the neutral value.
glm::mat4 SampleTrack(const platform::model::XAnimationTrack& track, double ticks);

class AnimationController {
 public:
  // Binds every track of every set to the model's frame of that name; tracks naming
  // no frame are kept but move nothing. The first set is put on the track.
  explicit AnimationController(const platform::model::XModel& model);

  uint32_t GetMaxNumAnimationSets() const { return static_cast<uint32_t>(sets_.size()); }
  // Empty text and 0 for an index past the sets.
  const std::string& GetSetName(uint32_t index) const;
  double GetSetPeriod(uint32_t index) const;  // seconds

  void SetTrackAnimationSet(uint32_t index);  // ignored past the sets
  uint32_t GetTrackAnimationSet() const { return set_; }
  void SetTrackPosition(double seconds) { position_ = seconds; }
  double GetTrackPosition() const { return position_; }
  void SetTrackEnable(bool enable) { enabled_ = enable; }
  void SetTrackSpeed(float speed) { speed_ = speed; }
  void SetTrackWeight(float weight) { weight_ = weight; }
  float GetTrackWeight() const { return weight_; }

  // Moves the track on by seconds x speed and writes the local matrix of each frame
  // the current set animates into frameLocals (indexed like the model's frames).
  void AdvanceTime(double seconds, std::vector<glm::mat4>& frameLocals);
  // Writes the pose at the current track position without moving it.
  void ApplyPose(std::vector<glm::mat4>& frameLocals) const;

 private:
  struct Set {
    platform::model::XAnimationSet data;
    std::vector<int> trackFrames;  // frame index per track, -1 when none
  };
  std::vector<Set> sets_;
  uint32_t set_ = 0;
  double position_ = 0.0;
  bool enabled_ = true;
  float speed_ = 1.0f;
  float weight_ = 1.0f;
};

}  // namespace graphics
