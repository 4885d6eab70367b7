// .X model files from any bytes, in both forms: the pre-import guard and the importer
// behind it must refuse or read them without reading or writing out of bounds, and a
// file that is read must give frames whose links stay inside the frame list and
// meshes whose indices stay inside their vertices.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/model/xfile.h"

#if defined(__has_include) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define VELORIN_LSAN 1
#endif

namespace {

void CheckModel(const platform::model::XModel& model) {
  const int frames = static_cast<int>(model.frames.size());
  for (const auto& frame : model.frames) {
    if (frame.parent >= frames || frame.firstChild >= frames || frame.nextSibling >= frames) std::abort();
    for (int mesh : frame.meshes)
      if (mesh < 0 || mesh >= static_cast<int>(model.meshes.size())) std::abort();
  }
  for (const auto& mesh : model.meshes) {
    for (uint32_t index : mesh.indices)
      if (index >= mesh.vertices.size()) std::abort();
    if (mesh.subsets.size() != mesh.materials.size()) std::abort();
    if (mesh.sourceIndices.size() != mesh.vertices.size()) std::abort();
    for (const auto& subset : mesh.subsets)
      if (uint64_t{subset.firstIndex} + subset.indexCount > mesh.indices.size()) std::abort();
    for (const auto& bone : mesh.bones)
      for (const auto& w : bone.weights)
        if (w.vertex >= mesh.vertices.size()) std::abort();
  }
}

}  // namespace

// The importer leaks its half-built tree when it gives up on a damaged file (a fault
// of the library, a few hundred bytes per refused file). Leaks are not what this
// target hunts, so they are not reported; reads and writes out of bounds still are.
static bool Load(const std::string& bytes, platform::model::XModel& model) {
#ifdef VELORIN_LSAN
  __lsan_disable();
#endif
  bool ok = platform::model::LoadXFileFromMemory(bytes, model);
#ifdef VELORIN_LSAN
  __lsan_enable();
#endif
  return ok;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  platform::model::XModel model;
  if (Load(bytes, model)) CheckModel(model);
  // The same body behind a binary header, so that mutations reach the binary reader.
  if (size >= 16) {
    bytes.replace(8, 4, "bin ");
    if (Load(bytes, model)) CheckModel(model);
  }
  return 0;
}
