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
# Part of its source is written at build time: the classification of the built-in grammars'
# symbols (analyzer/kind_flags.hpp), by a small generator linked with the grammars and the
# node-kind tables, so that the table follows either whenever it changes.
function(tersewright_add_engine_library name)
  set(kind_tables "${CMAKE_BINARY_DIR}/generated/analyzer/kind_tables.cpp")
  if(NOT TARGET tersewright_kind_table_generator)
    add_executable(tersewright_kind_table_generator
      "${TERSEWRIGHT_ENGINE_DIR}/tools/kind_table_generator.cpp"
      "${TERSEWRIGHT_ENGINE_DIR}/analyzer/kind_flags.cpp"
      "${TERSEWRIGHT_ENGINE_DIR}/analyzer/node_kinds.cpp"
      "${TERSEWRIGHT_ENGINE_DIR}/analyzer/grammars.cpp")
    target_include_directories(tersewright_kind_table_generator PRIVATE "${TERSEWRIGHT_ENGINE_DIR}")
    target_compile_options(tersewright_kind_table_generator PRIVATE ${TERSEWRIGHT_WARNING_FLAGS})
    target_link_libraries(tersewright_kind_table_generator PRIVATE tree_sitter_all)
    add_custom_command(
      OUTPUT "${kind_tables}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/generated/analyzer"
      COMMAND tersewright_kind_table_generator "${kind_tables}"
      DEPENDS tersewright_kind_table_generator
      COMMENT "Classifying the grammar symbols into constant tables"
      VERBATIM)
  endif()
  add_library(${name} STATIC ${TERSEWRIGHT_ENGINE_SOURCES} "${kind_tables}")
  target_include_directories(${name} PUBLIC "${TERSEWRIGHT_ENGINE_DIR}")
  target_link_libraries(${name} PUBLIC tree_sitter_all)
endfunction()
