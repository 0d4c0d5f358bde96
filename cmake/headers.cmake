# Each library publishes only its own folder's headers. Its include root, in the build tree,
# holds one link to that folder, so "core/card.h" is found by core, and by what links core, and
# by nothing else: an include that points up a layer does not compile.
include_guard(GLOBAL)

function(keystash_publish_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${root})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
