// Validation and compact sorted writing in one pass, with no value tree.
//
// Every value is written to the output as soon as it is read, in its compact form: strings and
// numbers whose compact form is their own text are copied straight from the input, strings with
// escapes are re-escaped as the writer would, and doubles go through the same conversion and
// notation as the tree's. An object's members therefore already lie in the output one after the
// other when the object closes; only then, and only when its keys do not already ascend strictly,
// are the members' texts put in key order (dropping all but the last of a repeated key) by copying
// the object's text aside once and writing its members back in order. Keys are compared decoded:
// as slices of the input when they hold no escape, otherwise as their decoded bytes kept aside.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analyzer/json.hpp"
#include "analyzer/json_order.hpp"
#include "analyzer/json_scan.hpp"

namespace tersewright::analyzer::json {
namespace {

class Compactor {
 public:
  Compactor(std::string_view text, std::size_t size_hint)
      : text_(text.data()), p_(text.data()), end_(text.data() + text.size()) {
    out_.reserve(size_hint);
  }

  // The same grammar walk as the tree parser's, writing instead of building.
  bool run() {
    skip_space();
    for (;;) {
      // A value starts at p_.
      if (p_ == end_) return false;
      const char c = *p_;
      if (c == '[' || c == '{') {
        if (depth_ == max_depth) return false;
        const bool object = c == '{';
        frames_[depth_++] = Frame{object, members_.size(), out_.size(), decoded_keys_.size()};
        out_.push_back(c);
        ++p_;
        skip_space();
        if (p_ == end_) return false;
        if (*p_ != (object ? '}' : ']')) {
          if (object && !write_key()) return false;
          continue;
        }
        ++p_;
        close_container();
      } else if (!write_scalar()) {
        return false;
      }

      // A value ended: close every container it completes, then expect the next member.
      for (;;) {
        skip_space();
        if (depth_ == 0) return p_ == end_;
        if (p_ == end_) return false;
        const bool object = frames_[depth_ - 1].object;
        const char d = *p_++;
        if (d == ',') {
          out_.push_back(',');
          skip_space();
          if (object && !write_key()) return false;
          break;
        }
        if (d != (object ? '}' : ']')) return false;
        close_container();
      }
    }
  }

  std::string take() { return std::move(out_); }

 private:
  struct Frame {
    bool object = false;
    std::size_t member_start = 0;  // first member on members_ (objects)
    std::size_t out_start = 0;     // offset of the opening bracket in out_
    std::size_t decoded_start = 0;  // end of decoded_keys_ when the container opened
  };

  // A member of an open object: where its text starts in out_, and its key, decoded: a slice of the
  // input when the key holds no escape, otherwise a slice of decoded_keys_ (offsets, since that
  // buffer grows).
  struct Member {
    std::size_t out_start = 0;
    std::size_t key_offset = 0;
    std::size_t key_length = 0;
    bool key_decoded = false;
  };

  void skip_space() noexcept { p_ = scan::skip_space(p_, end_); }

  std::string_view key_of(const Member& member) const noexcept {
    const char* base = member.key_decoded ? decoded_keys_.data() : text_;
    return {base + member.key_offset, member.key_length};
  }

  void close_container() {
    const Frame frame = frames_[--depth_];
    if (!frame.object) {
      out_.push_back(']');
      return;
    }
    const std::size_t count = members_.size() - frame.member_start;
    const Member* members = members_.data() + frame.member_start;
    if (order_by_key(count, [this, members](std::size_t i) { return key_of(members[i]); }, order_)) {
      // The members' texts, from the first key to the end of the last value, separated by commas.
      const std::size_t body_start = frame.out_start + 1;
      scratch_.assign(out_, body_start, std::string::npos);
      out_.resize(body_start);
      bool first = true;
      for (const std::size_t index : order_) {
        const std::size_t from = members[index].out_start - body_start;
        const std::size_t to = index + 1 < count ? members[index + 1].out_start - body_start - 1 : scratch_.size();
        if (!first) out_.push_back(',');
        first = false;
        out_.append(scratch_, from, to - from);
      }
    }
    out_.push_back('}');
    members_.resize(frame.member_start);
    decoded_keys_.resize(frame.decoded_start);
  }

  // A key string, the colon and the whitespace around it.
  bool write_key() {
    if (p_ == end_ || *p_ != '"') return false;
    Member& member = members_.emplace_back();
    member.out_start = out_.size();
    if (!write_string(&member)) return false;
    skip_space();
    if (p_ == end_ || *p_ != ':') return false;
    ++p_;
    out_.push_back(':');
    skip_space();
    return true;
  }

  bool write_scalar() {
    switch (*p_) {
      case '"':
        return write_string(nullptr);
      case 't':
        return write_literal("true");
      case 'f':
        return write_literal("false");
      case 'n':
        return write_literal("null");
      default:
        return write_number();
    }
  }

  bool write_literal(std::string_view word) {
    if (static_cast<std::size_t>(end_ - p_) < word.size() || std::memcmp(p_, word.data(), word.size()) != 0)
      return false;
    p_ += word.size();
    out_.append(word);
    return true;
  }

  // p_ is on the opening quote. A string with no escape is its own compact form and is copied whole;
  // otherwise each escape is replaced by the writer's form of the character it stands for. For a
  // key (member not null) the decoded key is recorded too.
  bool write_string(Member* member) {
    const char* const quote = p_;
    const char* run = p_ + 1;
    p_ = scan::find_string_stop(run, end_);
    if (p_ == end_) return false;
    if (*p_ == '"') {
      ++p_;
      out_.append(quote, p_);
      if (member != nullptr) {
        member->key_offset = static_cast<std::size_t>(run - text_);
        member->key_length = static_cast<std::size_t>(p_ - 1 - run);
      }
      return true;
    }

    // Escapes (or a raw control character, which fails below).
    std::size_t key_start = 0;
    if (member != nullptr) {
      key_start = decoded_keys_.size();
      decoded_keys_.append(run, p_);
    }
    out_.append(quote, p_);
    for (;;) {
      if (p_ == end_) return false;
      const char c = *p_++;
      if (c == '"') break;
      if (c != '\\') return false;  // a raw control character
      if (!write_escape(member != nullptr)) return false;
      run = p_;
      p_ = scan::find_string_stop(p_, end_);
      out_.append(run, p_);
      if (member != nullptr) decoded_keys_.append(run, p_);
    }
    out_.push_back('"');
    if (member != nullptr) {
      member->key_decoded = true;
      member->key_offset = key_start;
      member->key_length = decoded_keys_.size() - key_start;
    }
    return true;
  }

  // p_ is just after a backslash. Writes the character in the writer's notation (quote, backslash
  // and control characters escaped, everything else raw), and decoded for a key.
  bool write_escape(bool key) {
    if (p_ == end_) return false;
    const char e = *p_++;
    std::uint32_t cp = 0;
    switch (e) {
      case '"': cp = '"'; break;
      case '\\': cp = '\\'; break;
      case '/': cp = '/'; break;
      case 'b': cp = '\b'; break;
      case 'f': cp = '\f'; break;
      case 'n': cp = '\n'; break;
      case 'r': cp = '\r'; break;
      case 't': cp = '\t'; break;
      case 'u':
        if (!scan::read_unicode_escape(p_, end_, cp)) return false;
        break;
      default:
        return false;
    }
    if (cp < 0x80) {
      const char ascii = static_cast<char>(cp);
      if (ascii == '"' || ascii == '\\' || cp < 0x20) {
        append_string_char(ascii);
      } else {
        out_.push_back(ascii);
      }
      if (key) decoded_keys_.push_back(ascii);
    } else {
      scan::append_utf8(out_, cp);
      if (key) scan::append_utf8(decoded_keys_, cp);
    }
    return true;
  }

  // The escaped form of one character that needs escaping, exactly as append_string writes it.
  void append_string_char(char c) {
    static constexpr char hex[] = "0123456789abcdef";
    switch (c) {
      case '"': out_.append("\\\""); break;
      case '\\': out_.append("\\\\"); break;
      case '\b': out_.append("\\b"); break;
      case '\t': out_.append("\\t"); break;
      case '\n': out_.append("\\n"); break;
      case '\f': out_.append("\\f"); break;
      case '\r': out_.append("\\r"); break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        const char escape[6] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
        out_.append(escape, 6);
      }
    }
  }

  // An integer's compact form is its own text (no leading zeros, no "+"; those beyond 64 bits keep
  // their digits), except "-0", which reads as the double negative zero. Other numbers are doubles.
  bool write_number() {
    scan::Number number;
    if (!scan::scan_number(p_, end_, number)) return false;
    if (number.integral) {
      if (number.negative && number.int_end - number.int_start == 1 && *number.int_start == '0')
        out_.append("-0.0");
      else
        out_.append(number.start, number.end);
      return true;
    }
    double value = 0.0;
    if (!scan::to_double(number, scan::magnitude_of(number), value)) return false;
    append_double(out_, value);
    return true;
  }

  const char* const text_;
  const char* p_;
  const char* const end_;
  int depth_ = 0;
  std::array<Frame, max_depth> frames_{};
  std::string out_;
  std::vector<Member> members_;      // members of the open objects, innermost last
  std::string decoded_keys_;         // decoded keys that held escapes, of the open objects
  std::vector<std::size_t> order_;   // scratch: the writing order of one object's members
  std::string scratch_;              // scratch: one object's text while its members are reordered
};

}  // namespace

std::optional<std::string> compact(std::string_view text, std::size_t size_hint) {
  Compactor compactor(text, size_hint);
  if (!compactor.run()) return std::nullopt;
  return compactor.take();
}

}  // namespace tersewright::analyzer::json
