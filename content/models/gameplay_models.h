// The shapes of the fixed gameplay models (notes, frets, board, meters) and of the
// stage, built from the model kit.
#pragma once

#include <map>
#include <string>

#include "content/models/xfile_writer.h"

namespace models {

// The model of one row of the fixed set, by its file name; false for a name that is
// not in the set.
bool BuildGameplayModel(const std::string& name, Model& out);

// Every stage file by name (without ".X"): the venue, the three layouts, the prop and
// the objects the layouts call for.
std::map<std::string, Model> BuildStageModels();
// The stage's surface pictures by file name, each the colour of its surface.
std::map<std::string, glm::vec3> StageSwatches();

}  // namespace models
