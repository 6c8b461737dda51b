// A text the engine reads: bytes it owns, or a view of bytes that someone else keeps alive.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tersewright::transform {

// A request's content, and a fold's output, is either owned (a file just read, a string a C++ caller
// hands over) or borrowed: a view of bytes that whoever made the Text keeps alive and unchanged for
// as long as the Text is used. The Python binding lends a str's own UTF-8 this way, so that a large
// input is never copied on its way into a fold.
class Text {
 public:
  Text() noexcept = default;
  // Owns the bytes.
  Text(std::string bytes) noexcept : owned_(std::move(bytes)) {}
  Text(const char* bytes) : owned_(bytes) {}
  // Views bytes it does not own; they must outlive every use of the Text and of its copies.
  static Text borrowed(std::string_view bytes) noexcept {
    Text text;
    text.borrowed_ = bytes;
    text.is_borrowed_ = true;
    return text;
  }

  std::string_view view() const noexcept { return is_borrowed_ ? borrowed_ : std::string_view(owned_); }
  operator std::string_view() const noexcept { return view(); }
  bool is_borrowed() const noexcept { return is_borrowed_; }

  std::size_t size() const noexcept { return view().size(); }
  bool empty() const noexcept { return view().empty(); }
  const char* data() const noexcept { return view().data(); }

  friend bool operator==(const Text& a, const Text& b) noexcept { return a.view() == b.view(); }
  // Any string-like other side, compared without first making a Text of it.
  template <class Other>
    requires(std::is_convertible_v<const Other&, std::string_view> && !std::is_same_v<Other, Text>)
  friend bool operator==(const Text& text, const Other& other) noexcept {
    return text.view() == std::string_view(other);
  }
  friend std::ostream& operator<<(std::ostream& out, const Text& text) { return out << text.view(); }

 private:
  std::string owned_;
  // Kept apart from owned_, whose bytes move with it (a short string lives inside the object).
  std::string_view borrowed_;
  bool is_borrowed_ = false;
};

}  // namespace tersewright::transform
