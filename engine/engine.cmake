# The engine library as every build of it declares it. The main build (../CMakeLists.txt) and the
# fuzz build (../fuzz/CMakeLists.txt) compile the same sources with the same warnings and differ
# only in the instrumentation they add on top.

# Warnings for every file of ours, in every build.
set(TERSEWRIGHT_WARNING_FLAGS -Wall -Wextra -Wpedantic)

set(TERSEWRIGHT_ENGINE_DIR "${CMAKE_CURRENT_LIST_DIR}")
file(GLOB_RECURSE TERSEWRIGHT_ENGINE_SOURCES CONFIGURE_DEPENDS
  "${TERSEWRIGHT_ENGINE_DIR}/edit/*.cpp"
  "${TERSEWRIGHT_ENGINE_DIR}/analyzer/*.cpp"
  "${TERSEWRIGHT_ENGINE_DIR}/transform/*.cpp")

# A static library of the engine; the tree-sitter targets (tree_sitter_all) must already exist.
function(tersewright_add_engine_library name)
  add_library(${name} STATIC ${TERSEWRIGHT_ENGINE_SOURCES})
  target_include_directories(${name} PUBLIC "${TERSEWRIGHT_ENGINE_DIR}")
  target_link_libraries(${name} PUBLIC tree_sitter_all)
endfunction()
