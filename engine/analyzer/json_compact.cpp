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
// A byte is copied again for each enclosing object that gets reordered, so at most max_depth times;
// a typical document has few such objects and pays one extra copy of its text or none.
#include <algorithm>
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
#include "analyzer/json_walk.hpp"

namespace tersewright::analyzer::json {
namespace {

// A growing text written through a cursor: the compact text is written a few bytes at a time, and
// std::string's append and push_back would each check, store and terminate per call.
class Output {
 public:
  explicit Output(std::size_t size_hint) {
    text_.resize(std::max<std::size_t>(size_hint, 64));
    cursor_ = text_.data();
    limit_ = cursor_ + text_.size();
  }

  std::size_t size() const noexcept { return static_cast<std::size_t>(cursor_ - text_.data()); }
  const char* data() const noexcept { return text_.data(); }
  void truncate(std::size_t size) noexcept { cursor_ = text_.data() + size; }

  // Room for n more bytes; write() and put() need it first.
  void reserve(std::size_t n) {
    if (static_cast<std::size_t>(limit_ - cursor_) < n) grow(n);
  }
  void put(char c) noexcept { *cursor_++ = c; }
  void write(const char* from, std::size_t n) noexcept {
    std::memcpy(cursor_, from, n);
    cursor_ += n;
  }
  char*& cursor() noexcept { return cursor_; }
  // Writes n <= 16 bytes by copying 16: from must have 16 readable bytes and the output room for 16.
  void write_16(const char* from, std::size_t n) noexcept {
    std::memcpy(cursor_, from, 16);
    cursor_ += n;
  }

  void append(char c) {
    reserve(1);
    put(c);
  }
  void append(const char* from, const char* to) {
    const auto n = static_cast<std::size_t>(to - from);
    reserve(n);
    write(from, n);
  }
  void append(std::string_view text) { append(text.data(), text.data() + text.size()); }

  std::string take() {
    text_.resize(size());
    return std::move(text_);
  }

 private:
  void grow(std::size_t n) {
    const std::size_t used = size();
    text_.resize(std::max(text_.size() * 2, used + n));
    cursor_ = text_.data() + used;
    limit_ = text_.data() + text_.size();
  }

  std::string text_;
  char* cursor_ = nullptr;
  char* limit_ = nullptr;
};

// The grammar walk of the tree parser, writing instead of building.
class Compactor : GrammarWalk<Compactor> {
  friend GrammarWalk<Compactor>;

 public:
  Compactor(std::string_view text, std::size_t size_hint) : GrammarWalk(text), text_(text.data()), out_(size_hint) {}

  bool run() { return walk(); }

  std::string take() { return out_.take(); }

 private:
  // Left uninitialised in the stack below (the slots are written as containers open), which
  // spares zeroing four kilobytes per call for the short documents that are the common case.
  struct Frame {
    std::size_t member_start;   // first member on members_ (objects)
    std::size_t out_start;      // offset of the opening bracket in out_
    std::size_t decoded_start;  // end of decoded_keys_ when the container opened
  };

  // A decoded key, compared in byte order; most keys differ in their first byte, which is
  // compared here before a call to memcmp.
  struct Key {
    std::string_view bytes;
    friend bool operator<(Key a, Key b) noexcept {
      if (!a.bytes.empty() && !b.bytes.empty() && a.bytes[0] != b.bytes[0])
        return static_cast<unsigned char>(a.bytes[0]) < static_cast<unsigned char>(b.bytes[0]);
      return a.bytes < b.bytes;
    }
    friend bool operator==(Key a, Key b) noexcept { return a.bytes == b.bytes; }
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

  // The grammar walk's handlers.
  void open(bool object) {
    frames_[depth_] = Frame{members_.size(), out_.size(), decoded_keys_.size()};
    out_.append(object ? '{' : '[');
  }
  bool key() { return write_key(); }
  bool scalar() { return write_scalar(); }
  void comma() { out_.append(','); }

  // Copies input bytes to the output. Most tokens are short: those are moved as sixteen bytes at
  // once when both sides have that much room, which spares a call to memcpy per token.
  void copy_input(const char* from, const char* to) {
    const auto n = static_cast<std::size_t>(to - from);
    out_.reserve(16);
    if (n <= 16 && end_ - from >= 16) {
      out_.write_16(from, n);
    } else {
      out_.append(from, to);
    }
  }

  Key key_of(const Member& member) const noexcept {
    const char* base = member.key_decoded ? decoded_keys_.data() : text_;
    return Key{{base + member.key_offset, member.key_length}};
  }

  void close() {
    const Frame frame = frames_[depth_];
    if (!object_at(depth_)) {
      out_.append(']');
      return;
    }
    const std::size_t count = members_.size() - frame.member_start;
    const Member* members = members_.data() + frame.member_start;
    if (order_by_key(count, [this, members](std::size_t i) { return key_of(members[i]); }, order_)) {
      // The members' texts, from the first key to the end of the last value, separated by commas.
      const std::size_t body_start = frame.out_start + 1;
      scratch_.assign(out_.data() + body_start, out_.data() + out_.size());
      out_.truncate(body_start);  // the members written back in order are no longer than they were
      bool first = true;
      for (const std::size_t index : order_) {
        const std::size_t from = members[index].out_start - body_start;
        const std::size_t to = index + 1 < count ? members[index + 1].out_start - body_start - 1 : scratch_.size();
        if (!first) out_.put(',');
        first = false;
        out_.write(scratch_.data() + from, to - from);
      }
    }
    out_.append('}');
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
    out_.append(':');
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
      copy_input(quote, p_);
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
    out_.append('"');
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
    // Every escape takes at least two bytes of input and gives at most six of output.
    out_.reserve(6);
    if (cp < 0x80) {
      const char ascii = static_cast<char>(cp);
      if (ascii == '"' || ascii == '\\' || cp < 0x20) {
        put_escaped(ascii);
      } else {
        out_.put(ascii);
      }
      if (key) decoded_keys_.push_back(ascii);
    } else {
      put_utf8(cp);
      if (key) scan::append_utf8(decoded_keys_, cp);
    }
    return true;
  }

  void put_utf8(std::uint32_t cp) noexcept {
    char*& t = out_.cursor();
    if (cp < 0x800) {
      *t++ = static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
      *t++ = static_cast<char>(0xE0 | (cp >> 12));
      *t++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
      *t++ = static_cast<char>(0xF0 | (cp >> 18));
      *t++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *t++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    *t++ = static_cast<char>(0x80 | (cp & 0x3F));
  }

  // The escaped form of one character that needs escaping, exactly as append_string writes it.
  void put_escaped(char c) noexcept {
    static constexpr char hex[] = "0123456789abcdef";
    char named = 0;
    switch (c) {
      case '"': named = '"'; break;
      case '\\': named = '\\'; break;
      case '\b': named = 'b'; break;
      case '\t': named = 't'; break;
      case '\n': named = 'n'; break;
      case '\f': named = 'f'; break;
      case '\r': named = 'r'; break;
      default: break;
    }
    out_.put('\\');
    if (named != 0) {
      out_.put(named);
      return;
    }
    const auto byte = static_cast<unsigned char>(c);
    const char escape[5] = {'u', '0', '0', hex[byte >> 4], hex[byte & 0xF]};
    out_.write(escape, 5);
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
        copy_input(number.start, number.end);
      return true;
    }
    double value = 0.0;
    if (!scan::to_double(number, scan::magnitude_of(number), value)) return false;
    out_.reserve(scan::double_room);
    out_.cursor() = scan::write_double(out_.cursor(), value);  // a value read from text is finite
    return true;
  }

  const char* const text_;
  std::array<Frame, max_depth> frames_;
  Output out_;
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
