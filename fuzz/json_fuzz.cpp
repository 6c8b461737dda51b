// JSON validation and compaction over arbitrary bytes. The validator's verdict is compared with a
// small reference grammar written here; the one-pass compactor must refuse exactly what the parser
// refuses and write exactly what the tree's writer writes; a valid document must compact to a text
// that validates again and compacts to itself; the JSON branch of the fold must return exactly that
// compact text when it is shorter; and the double writer must give the shortest text that reads
// back exactly.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <variant>
#include <vector>

#include "analyzer/json.hpp"
#include "analyzer/syntax.hpp"
#include "fuzz_support.hpp"
#include "transform/fold.hpp"

namespace {

using namespace tersewright;
namespace json = analyzer::json;

// A recursive-descent reading of the JSON grammar with the engine's documented limits: 127 nested
// containers, no raw control characters or lone surrogate escapes in strings, no number that
// overflows a double (integers without fraction or exponent are never too large).
class Reference {
 public:
  explicit Reference(std::string_view text) : s_(text) {}

  bool valid() {
    skip_space();
    if (!value(0)) return false;
    skip_space();
    return i_ == s_.size();
  }

 private:
  bool at(char c) const { return i_ < s_.size() && s_[i_] == c; }
  void skip_space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }

  bool value(int depth) {
    if (i_ >= s_.size()) return false;
    switch (s_[i_]) {
      case '{': return object(depth + 1);
      case '[': return array(depth + 1);
      case '"': return string();
      case 't': return literal("true");
      case 'f': return literal("false");
      case 'n': return literal("null");
      default: return number();
    }
  }

  bool array(int depth) {
    if (depth > json::max_depth) return false;
    ++i_;
    skip_space();
    if (at(']')) return ++i_, true;
    for (;;) {
      skip_space();
      if (!value(depth)) return false;
      skip_space();
      if (at(']')) return ++i_, true;
      if (!at(',')) return false;
      ++i_;
    }
  }

  bool object(int depth) {
    if (depth > json::max_depth) return false;
    ++i_;
    skip_space();
    if (at('}')) return ++i_, true;
    for (;;) {
      skip_space();
      if (!at('"') || !string()) return false;
      skip_space();
      if (!at(':')) return false;
      ++i_;
      skip_space();
      if (!value(depth)) return false;
      skip_space();
      if (at('}')) return ++i_, true;
      if (!at(',')) return false;
      ++i_;
    }
  }

  bool hex4(unsigned& out) {
    if (i_ + 4 > s_.size()) return false;
    out = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s_[i_++];
      out <<= 4;
      if (c >= '0' && c <= '9') out |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') out |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') out |= static_cast<unsigned>(c - 'A' + 10);
      else return false;
    }
    return true;
  }

  bool string() {
    ++i_;
    while (i_ < s_.size()) {
      const auto c = static_cast<unsigned char>(s_[i_]);
      if (c == '"') return ++i_, true;
      if (c < 0x20) return false;
      if (c != '\\') {
        ++i_;
        continue;
      }
      ++i_;
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      if (std::strchr("\"\\/bfnrt", e) != nullptr && e != '\0') continue;
      if (e != 'u') return false;
      unsigned unit = 0;
      if (!hex4(unit)) return false;
      if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        unsigned low = 0;
        if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      }
    }
    return false;
  }

  bool digits() {
    const std::size_t start = i_;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
    return i_ > start;
  }

  bool number() {
    const std::size_t start = i_;
    if (at('-')) ++i_;
    if (at('0')) {
      ++i_;
    } else if (i_ < s_.size() && s_[i_] >= '1' && s_[i_] <= '9') {
      digits();
    } else {
      return false;
    }
    bool integral = true;
    if (at('.')) {
      ++i_;
      if (!digits()) return false;
      integral = false;
    }
    if (at('e') || at('E')) {
      ++i_;
      if (at('+') || at('-')) ++i_;
      if (!digits()) return false;
      integral = false;
    }
    if (integral) return true;
    const std::string lexeme(s_.substr(start, i_ - start));
    return std::isfinite(std::strtod(lexeme.c_str(), nullptr));
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// No JSON whitespace outside strings, and inside strings exactly the escapes the writer promises:
// the short forms for quote, backslash, b, t, n, f, r, "\u00xx" for the other control characters,
// and everything else ("/" and non-ASCII included) raw.
bool is_compact(std::string_view text) {
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '"') {
        in_string = false;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        return false;
      } else if (c == '\\') {
        if (++i >= text.size()) return false;
        const char e = text[i];
        if (e == 'u') {
          const std::string_view hex = text.substr(i + 1, 4);
          if (hex.size() != 4 || hex[0] != '0' || hex[1] != '0' || (hex[2] != '0' && hex[2] != '1')) return false;
          const char low = hex[3];
          if (!((low >= '0' && low <= '9') || (low >= 'a' && low <= 'f'))) return false;
          const int code = (hex[2] - '0') * 16 + (low <= '9' ? low - '0' : low - 'a' + 10);
          if (code == 0x08 || code == 0x09 || code == 0x0A || code == 0x0C || code == 0x0D) return false;
          i += 4;
        } else if (std::string_view("\"\\btnfr").find(e) == std::string_view::npos) {
          return false;
        }
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      return false;
    }
  }
  return !in_string;
}

// Every object of the tree holds its keys once each, in ascending byte order.
bool keys_sorted(const json::Value& root) {
  std::vector<const json::Value*> stack{&root};
  while (!stack.empty()) {
    const json::Value* v = stack.back();
    stack.pop_back();
    if (const auto* array = std::get_if<json::Array>(&v->data)) {
      for (const json::Value& item : *array) stack.push_back(&item);
    } else if (const auto* object = std::get_if<json::Object>(&v->data)) {
      for (std::size_t k = 0; k < object->size(); ++k) {
        if (k > 0 && !((*object)[k - 1].key < (*object)[k].key)) return false;
        stack.push_back(&(*object)[k].value);
      }
    }
  }
  return true;
}

void check_double_writer(double value) {
  std::string written;
  json::append_double(written, value);
  if (!std::isfinite(value)) {
    FUZZ_CHECK(written == "null");
    return;
  }
  // Reads back to the very same double, sign of zero included.
  const double back = std::strtod(written.c_str(), nullptr);
  FUZZ_CHECK_MSG(std::memcmp(&back, &value, sizeof value) == 0, written);

  // As short as the shortest round-trip digits, in the notation its decimal exponent calls for.
  char shortest[64];
  const auto [end, error] = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
  FUZZ_CHECK(error == std::errc{});
  const std::string_view sci(shortest, static_cast<std::size_t>(end - shortest));
  const std::size_t e_at = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_at))
    if (c >= '0' && c <= '9') digits.push_back(c);
  const int exponent = std::atoi(std::string(sci.substr(e_at + 1)).c_str());
  std::string written_digits;
  const std::size_t written_e = written.find('e');
  for (char c : std::string_view(written).substr(0, written_e))
    if (c >= '0' && c <= '9') written_digits.push_back(c);
  const bool plain = exponent >= -5 && exponent <= 15;
  FUZZ_CHECK_MSG((written_e == std::string::npos) == plain, written);
  if (plain) {
    FUZZ_CHECK_MSG(written.find('.') != std::string::npos, written);
    // Plain notation pads with zeros; the significant digits are those of the shortest form.
    const std::size_t first = written_digits.find_first_not_of('0');
    const std::size_t last = written_digits.find_last_not_of('0');
    const std::string significant =
        first == std::string::npos ? "0" : written_digits.substr(first, last - first + 1);
    const std::size_t digits_last = digits.find_last_not_of('0');
    FUZZ_CHECK_MSG(significant == digits.substr(0, digits_last == std::string::npos ? 1 : digits_last + 1), written);
  } else {
    FUZZ_CHECK_MSG(written_digits.substr(0, digits.size()) == digits, written);
  }
}

const analyzer::AnalyzerRegistry& registry() {
  static const analyzer::AnalyzerRegistry built_in = analyzer::AnalyzerRegistry::built_in();
  return built_in;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (size >= sizeof(double)) {
    double value = 0.0;
    std::memcpy(&value, data, sizeof value);
    check_double_writer(value);
  }

  const std::optional<json::Value> parsed = json::parse(text);
  const bool valid = json::is_valid(text);
  FUZZ_CHECK(valid == parsed.has_value());
  FUZZ_CHECK_MSG(valid == Reference(text).valid(), valid ? "accepted by the engine only" : "refused by the engine only");

  // The one-pass compactor: the same verdict as the parser, and the very bytes of the tree's writer.
  const std::optional<std::string> one_pass = json::compact(text);
  FUZZ_CHECK_MSG(one_pass.has_value() == parsed.has_value(),
                 one_pass ? "compacted in one pass only" : "refused by the one-pass compactor only");

  std::string compact;
  if (parsed) {
    compact = json::write_compact(*parsed);
    FUZZ_CHECK_MSG(*one_pass == compact, *one_pass);
    FUZZ_CHECK(is_compact(compact));
    const std::optional<json::Value> again = json::parse(compact);
    FUZZ_CHECK_MSG(again.has_value(), compact);
    FUZZ_CHECK(keys_sorted(*parsed) && keys_sorted(*again));
    FUZZ_CHECK_MSG(json::write_compact(*again) == compact, compact);
    if (fuzz::is_valid_utf8(text)) FUZZ_CHECK(fuzz::is_valid_utf8(compact));
  }

  // The JSON branch of the fold, on the same document when it is a valid text.
  if (fuzz::is_valid_utf8(text)) {
    transform::FoldRequest request;
    request.content = std::string(text);
    request.profile = "code-review";
    request.language = analyzer::Language::json;
    auto folded = transform::fold(registry(), std::move(request));
    FUZZ_CHECK(folded.ok());
    const transform::FoldResult& result = folded.value();
    if (parsed) {
      FUZZ_CHECK(result.output == (compact.size() < size ? compact : std::string(text)));
      FUZZ_CHECK(result.report.warnings.empty());
    } else {
      FUZZ_CHECK(result.report.warnings.size() == 1 &&
                 result.report.warnings[0].code == transform::WarningCode::json_invalid);
    }
  }
  return 0;
}
