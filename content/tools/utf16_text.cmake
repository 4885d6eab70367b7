# UTF-16 run-folder texts made from UTF-8 sources (language files, theme documents and
# any other content the game reads as UTF-16LE with a byte-order mark).
#
#   include(<this file>)
#   velorin_utf16_files(<target> DEST <run-folder sub-folder> SOURCES <files...>)
#
# Each source becomes DEST/<its file name>; <target> is added to velorin_content.
include_guard(GLOBAL)

add_executable(velorin_utf16_text ${CMAKE_CURRENT_LIST_DIR}/utf16_text.cpp)
set_target_properties(velorin_utf16_text PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/content_tools)

function(velorin_utf16_files target)
  cmake_parse_arguments(ARG "" "DEST" "SOURCES" ${ARGN})
  set(outputs)
  foreach(src IN LISTS ARG_SOURCES)
    get_filename_component(abs ${src} ABSOLUTE)
    get_filename_component(name ${src} NAME)
    set(out ${ARG_DEST}/${name})
    add_custom_command(
      OUTPUT ${out}
      COMMAND velorin_utf16_text ${abs} ${out}
      DEPENDS ${abs} velorin_utf16_text
      COMMENT "UTF-16 text ${name}")
    list(APPEND outputs ${out})
  endforeach()
  add_custom_target(${target} DEPENDS ${outputs})
  add_dependencies(velorin_content ${target})
endfunction()
