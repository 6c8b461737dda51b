// Strict JSON validation, and parsing into a value tree, in one pass over the text.
#include "analyzer/json.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "analyzer/json_order.hpp"
#include "analyzer/json_scan.hpp"
#include "analyzer/json_walk.hpp"

namespace tersewright::analyzer::json {
namespace {

// One pass over the text with an explicit container stack. In validating mode (Build false) nothing
// is allocated; in building mode completed values wait on one shared stack and each container takes
// its members from there in one move when it closes, so no container grows element by element.
template <bool Build>
class Parser : GrammarWalk<Parser<Build>> {
  using Walk = GrammarWalk<Parser<Build>>;
  friend Walk;
  using Walk::depth_;
  using Walk::end_;
  using Walk::p_;
  using Walk::skip_space;

 public:
  explicit Parser(std::string_view text) noexcept : Walk(text) {}

  bool run() { return this->walk(); }

  // Only after run() succeeded in building mode.
  Value take_root() { return std::move(values_.back()); }

 private:
  // Left uninitialised in the stack below (the slots are written as containers open), which
  // spares zeroing three kilobytes per call.
  struct Frame {
    std::size_t value_start;  // first member on values_
    std::size_t key_start;    // first key on keys_ (objects)
  };

  // The grammar walk's handlers.
  void open(bool) noexcept { frames_[depth_] = Frame{values_.size(), keys_.size()}; }
  bool key() { return parse_key(); }
  bool scalar() { return parse_scalar(); }
  void comma() noexcept {}
  void close() {
    if constexpr (Build) {
      const Frame frame = frames_[depth_];
      const std::size_t count = values_.size() - frame.value_start;
      Value* members = values_.data() + frame.value_start;
      Value closed;
      if (this->object_at(depth_)) {
        std::string* keys = keys_.data() + frame.key_start;
        Object& object = closed.data.template emplace<Object>();
        if (order_by_key(count, [keys](std::size_t i) -> const std::string& { return keys[i]; }, order_)) {
          object.reserve(order_.size());
          for (const std::size_t index : order_) object.emplace_back(std::move(keys[index]), std::move(members[index]));
        } else {
          object.reserve(count);
          for (std::size_t i = 0; i < count; ++i) object.emplace_back(std::move(keys[i]), std::move(members[i]));
        }
        keys_.resize(frame.key_start);
      } else {
        Array& array = closed.data.template emplace<Array>();
        array.reserve(count);
        for (std::size_t i = 0; i < count; ++i) array.push_back(std::move(members[i]));
      }
      values_.resize(frame.value_start);
      values_.push_back(std::move(closed));
    }
  }

  // A key string, the colon and the whitespace around it.
  bool parse_key() {
    if (p_ == end_ || *p_ != '"') return false;
    std::string* key = nullptr;
    if constexpr (Build) key = &keys_.emplace_back();
    if (!parse_string(key)) return false;
    skip_space();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    skip_space();
    return true;
  }

  bool parse_scalar() {
    switch (*p_) {
      case '"': {
        std::string* text = nullptr;
        if constexpr (Build) text = &values_.emplace_back().data.template emplace<std::string>();
        return parse_string(text);
      }
      case 't':
        return parse_literal("true", Value{true});
      case 'f':
        return parse_literal("false", Value{false});
      case 'n':
        return parse_literal("null", Value{nullptr});
      default:
        return parse_number();
    }
  }

  bool parse_literal(std::string_view word, Value value) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() || std::memcmp(p_, word.data(), word.size()) != 0)
      return false;
    p_ += word.size();
    if constexpr (Build) values_.push_back(std::move(value));
    return true;
  }

  // p_ is on the opening quote; out is null when only validating.
  bool parse_string(std::string* out) {
    ++p_;
    for (;;) {
      const char* run = p_;
      p_ = scan::find_string_stop(p_, end_);
      if constexpr (Build) out->append(run, static_cast<std::size_t>(p_ - run));
      if (p_ == end_) return false;
      const char c = *p_++;
      if (c == '"') return true;
      if (c != '\\') return false;  // a raw control character
      if (!parse_escape(out)) return false;
    }
  }

  // p_ is just after a backslash.
  bool parse_escape(std::string* out) {
    if (p_ == end_) return false;
    char decoded;
    switch (*p_++) {
      case '"': decoded = '"'; break;
      case '\\': decoded = '\\'; break;
      case '/': decoded = '/'; break;
      case 'b': decoded = '\b'; break;
      case 'f': decoded = '\f'; break;
      case 'n': decoded = '\n'; break;
      case 'r': decoded = '\r'; break;
      case 't': decoded = '\t'; break;
      case 'u': {
        std::uint32_t cp = 0;
        if (!scan::read_unicode_escape(p_, end_, cp)) return false;
        if constexpr (Build) scan::append_utf8(*out, cp);
        return true;
      }
      default:
        return false;
    }
    if constexpr (Build) out->push_back(decoded);
    return true;
  }

  bool parse_number() {
    scan::Number number;
    if (!scan::scan_number(p_, end_, number)) return false;
    if (number.integral) return push_integer(number);
    return push_double(number);
  }

  // Integers are never invalid: those beyond 64 bits keep their digits rather than lose precision.
  bool push_integer(const scan::Number& number) {
    if constexpr (!Build) return true;
    const char* const digits = number.int_start;
    const char* const digits_end = number.int_end;
    if (number.negative && digits_end - digits == 1 && *digits == '0') {
      values_.push_back(Value{-0.0});
      return true;
    }
    std::uint64_t magnitude = 0;
    bool fits = digits_end - digits <= 20;
    for (const char* d = digits; fits && d != digits_end; ++d)
      fits = !__builtin_mul_overflow(magnitude, std::uint64_t{10}, &magnitude) &&
             !__builtin_add_overflow(magnitude, static_cast<std::uint64_t>(*d - '0'), &magnitude);
    constexpr std::uint64_t most_negative = std::uint64_t{1} << 63;
    if (fits && !number.negative) {
      values_.push_back(Value{magnitude});
    } else if (fits && magnitude <= most_negative) {
      const std::int64_t signed_value = magnitude == most_negative ? std::numeric_limits<std::int64_t>::min()
                                                                   : -static_cast<std::int64_t>(magnitude);
      values_.push_back(Value{signed_value});
    } else {
      values_.push_back(Value{BigInteger{std::string(number.start, digits_end)}});
    }
    return true;
  }

  bool push_double(const scan::Number& number) {
    const scan::Magnitude magnitude = scan::magnitude_of(number);
    if constexpr (!Build) {
      // The largest double is about 1.8e308: below that exponent nothing overflows, above it all does.
      if (!magnitude.nonzero || magnitude.leading < 308) return true;
      if (magnitude.leading > 308) return false;
    }
    double value = 0.0;
    if (!scan::to_double(number, magnitude, value)) return false;
    if constexpr (Build) values_.push_back(Value{value});
    return true;
  }

  std::array<Frame, max_depth> frames_;
  // Building mode only (empty when validating): completed values and pending keys of the open
  // containers.
  std::vector<Value> values_;
  std::vector<std::string> keys_;
  std::vector<std::size_t> order_;  // scratch for ordering the members of one object
};

}  // namespace

std::optional<Value> parse(std::string_view text) {
  Parser<true> parser(text);
  if (!parser.run()) return std::nullopt;
  return parser.take_root();
}

bool is_valid(std::string_view text) {
  Parser<false> parser(text);
  return parser.run();
}

}  // namespace tersewright::analyzer::json
