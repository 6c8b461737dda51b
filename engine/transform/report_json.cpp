#include "transform/report_json.hpp"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "analyzer/json.hpp"
#include "transform/report_walk.hpp"

namespace tersewright::transform {

namespace {

// Compact JSON on the engine's string and number writers. A comma is owed after every completed
// value; a key or an opening bracket settles it.
class JsonSink {
 public:
  explicit JsonSink(std::string& out) : out_(out) {}

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  void key(std::string_view name) {
    separate();
    analyzer::json::append_string(out_, name);
    out_ += ':';
    comma_owed_ = false;
  }
  void string(std::string_view text) {
    separate();
    analyzer::json::append_string(out_, text);
    comma_owed_ = true;
  }
  void boolean(bool flag) {
    separate();
    out_ += flag ? "true" : "false";
    comma_owed_ = true;
  }
  void integer(std::uint64_t value) { append_integer(value); }
  void integer(std::int64_t value) { append_integer(value); }
  void number(double value) {
    separate();
    analyzer::json::append_double(out_, value);
    comma_owed_ = true;
  }

 private:
  void separate() {
    if (comma_owed_) out_ += ',';
  }
  void open(char bracket) {
    separate();
    out_ += bracket;
    comma_owed_ = false;
  }
  void close(char bracket) {
    out_ += bracket;
    comma_owed_ = true;
  }
  template <class Integer>
  void append_integer(Integer value) {
    separate();
    char digits[24];  // any 64-bit integer with its sign
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out_.append(digits, static_cast<std::size_t>(end - digits));
    comma_owed_ = true;
  }

  std::string& out_;
  bool comma_owed_ = false;
};

}  // namespace

std::string report_to_json(const Report& report) {
  std::string out;
  out.reserve(640 + 192 * report.rules.size() + 160 * report.warnings.size());
  JsonSink sink(out);
  visit_report(report, sink);
  return out;
}

}  // namespace tersewright::transform
