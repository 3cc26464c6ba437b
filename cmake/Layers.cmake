# One static library per layer. A layer's headers are reachable as "<folder>/Header.h" only
# from targets that link it: each library exposes its folder through a private include root
# in the build tree (a symbolic link to the source folder), never the whole src/ tree. An
# include that runs up the layers therefore fails to compile instead of building quietly.

# vesk_expose(target folder): make src/<folder> includable as "<folder>/..." by `target`
# and everything that links it.
function(vesk_expose target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# vesk_layer(name FOLDER folder SOURCES ... LINKS ...): a layer's library over src/<folder>.
function(vesk_layer name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  vesk_expose(${name} ${ARG_FOLDER})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  vesk_use_pch(${name} vesk_pch_sources)
endfunction()
