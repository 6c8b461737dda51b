// Which node kinds of each grammar the syntax analysis looks for, by the names the grammar gives
// them. The tables themselves are constant data in node_kinds.cpp, one per language.
#pragma once

#include <span>
#include <string_view>

#include "analyzer/language.hpp"

namespace tersewright::analyzer {

using KindNames = std::span<const std::string_view>;

// A table lists only what its language has; a field it leaves out holds no kinds, or the value
// given here, which every grammar so far shares.
struct NodeKinds {
  KindNames comments{};
  KindNames error_handlers{};  // raising, catching and propagating errors
  KindNames declarations{};
  // The declarations whose body field holds the code that a fold may drop; the others are kept
  // whole and reported without a body.
  KindNames bodied_declarations{};
  std::string_view body_field = "body";
  // Every kind whose name contains this text is a string: literals, their fragments and delimiters,
  // template and raw strings alike.
  std::string_view string_infix = "string";
  // A docstring is a statement of a docstring kind that is the first named child of a container of
  // a docstring kind and whose own first named child is a docstring literal.
  KindNames docstring_containers{};
  KindNames docstring_statements{};
  KindNames docstring_literals{};
  // A block kind that the grammar accepts with no statement in it although the language does not;
  // a tree holding such an empty block is not a clean parse.
  std::string_view statement_block{};
  // The kinds that can hold such a block, directly or further down, the block kind among them: the
  // grammar puts one nowhere else, so a walk that looks for empty blocks enters no other node.
  KindNames block_holders{};
};

// The table of a source language; an empty one for every other language.
const NodeKinds& node_kinds(Language language) noexcept;

}  // namespace tersewright::analyzer
