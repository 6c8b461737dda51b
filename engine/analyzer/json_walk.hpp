// The grammar of a JSON text, walked once with an explicit container stack, shared by the tree
// parser (which builds a tree or only validates) and the one-pass compactor (which writes). Internal
// to the JSON files.
#pragma once

#include <array>
#include <string_view>

#include "analyzer/json.hpp"
#include "analyzer/json_scan.hpp"

namespace tersewright::analyzer::json {

// Walk is the class deriving from this one and supplies the handlers, each of which reads its own
// part of the text from p_ and returns false on a text that is not JSON:
//   open(object)  a container opens; p_ is on its bracket, depth_ is the container's own depth
//   key()         a member's key; p_ is on what should be its quote; reads through the colon and
//                 the blanks after it
//   scalar()      any value that is not a container; p_ is on its first byte
//   comma()       a comma between two members or elements was read
//   close()       a container closed; its bracket was read and depth_ is the container's own again
template <class Walk>
class GrammarWalk {
 protected:
  explicit GrammarWalk(std::string_view text) noexcept : p_(text.data()), end_(text.data() + text.size()) {}

  // Whether the text is one JSON value with nothing but whitespace around it, within max_depth.
  bool walk() {
    Walk& self = static_cast<Walk&>(*this);
    skip_space();
    for (;;) {
      // A value starts at p_.
      if (p_ == end_) return false;
      const char c = *p_;
      if (c == '[' || c == '{') {
        if (depth_ == max_depth) return false;
        const bool object = c == '{';
        object_[depth_] = object;
        self.open(object);
        ++depth_;
        ++p_;
        skip_space();
        if (p_ == end_) return false;
        if (*p_ != (object ? '}' : ']')) {
          if (object && !self.key()) return false;
          continue;
        }
        ++p_;
        --depth_;
        self.close();
      } else if (!self.scalar()) {
        return false;
      }

      // A value ended: close every container it completes, then expect the next member.
      for (;;) {
        skip_space();
        if (depth_ == 0) return p_ == end_;
        if (p_ == end_) return false;
        const bool object = object_[depth_ - 1];
        const char d = *p_++;
        if (d == ',') {
          self.comma();
          skip_space();
          if (object && !self.key()) return false;
          break;
        }
        if (d != (object ? '}' : ']')) return false;
        --depth_;
        self.close();
      }
    }
  }

  // Whether the container at depth (below depth_) is an object.
  bool object_at(int depth) const noexcept { return object_[depth]; }

  void skip_space() noexcept {
    if (p_ != end_ && !scan::is_json_space(*p_)) return;  // the compact case, kept inline
    p_ = scan::skip_space(p_, end_);
  }

  const char* p_;
  const char* const end_;
  int depth_ = 0;

 private:
  // Left uninitialised (a slot is written as its container opens), which spares zeroing it per call
  // for the short documents that are the common case.
  std::array<bool, max_depth> object_;
};

}  // namespace tersewright::analyzer::json
