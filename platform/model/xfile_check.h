// A guard run over a .X file's bytes before the importer sees them. The importer
// trusts the counts and indices inside meshes (face corners, normal indices, skin
// weight vertices) and would read or write past its arrays on a damaged file; this
// pass walks the same objects with its own small tokenizer (text and binary forms)
// and refuses any file whose counts or indices do not fit.
#pragma once

#include <string>
#include <string_view>

namespace platform::model::detail {

// True when the file may be handed to the importer; otherwise a one-line reason.
bool CheckXFileBytes(std::string_view bytes, std::string& reason);

}  // namespace platform::model::detail
