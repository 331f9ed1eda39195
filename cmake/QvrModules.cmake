# qvr_module_headers(TARGET FOLDER)
# Lets TARGET, and whatever links it, include the headers of src/FOLDER as
# "FOLDER/...", and nothing else of src/. Each module's include folder in the build
# tree holds a single link to its source folder, so a source that includes a module
# its target does not link fails to build: the layers of the README stay the only
# direction in which the code depends.
function(qvr_module_headers target folder)
  set(root ${CMAKE_BINARY_DIR}/module-include/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  # A header reached through the link keeps its name in the tree (src/setup/...) in the
  # debug information and in __FILE__, not one inside the build folder.
  set(map -ffile-prefix-map=${root}/${folder}/=src/${folder}/)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
    target_compile_options(${target} INTERFACE ${map})
  else()
    target_include_directories(${target} PUBLIC ${root})
    target_compile_options(${target} PUBLIC ${map})
  endif()
endfunction()
