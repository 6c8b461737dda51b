#include "report_json.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "edit/edit.hpp"

namespace tersewright::python {
namespace {

constexpr std::string_view hex_digits = "0123456789abcdef";

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  std::size_t clean_from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
    out.append(text.substr(clean_from, i - clean_from));
    clean_from = i + 1;
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case 0x08: out += "\\b"; break;
      case 0x09: out += "\\t"; break;
      case 0x0A: out += "\\n"; break;
      case 0x0C: out += "\\f"; break;
      case 0x0D: out += "\\r"; break;
      default:
        out += "\\u00";
        out += hex_digits[byte >> 4];
        out += hex_digits[byte & 0x0F];
    }
  }
  out.append(text.substr(clean_from));
  out += '"';
}

template <class Integer>
void append_integer(std::string& out, Integer value) {
  std::array<char, 24> digits{};
  const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  static_cast<void>(error);  // 24 characters hold any 64-bit integer
  out.append(digits.data(), end);
}

void append_bool(std::string& out, bool value) { out += value ? "true" : "false"; }

// Writes `"key":`, preceded by a comma unless it opens its object.
class Members {
 public:
  explicit Members(std::string& out) : out_(out) { out_ += '{'; }
  // Not a destructor: appending may throw, and a throwing destructor would end the process.
  void close() { out_ += '}'; }
  Members(const Members&) = delete;
  Members& operator=(const Members&) = delete;

  std::string& key(std::string_view name) {
    if (!first_) out_ += ',';
    first_ = false;
    append_json_string(out_, name);
    out_ += ':';
    return out_;
  }
  void string(std::string_view name, std::string_view value) { append_json_string(key(name), value); }
  void boolean(std::string_view name, bool value) { append_bool(key(name), value); }
  template <class Integer>
  void integer(std::string_view name, Integer value) {
    append_integer(key(name), value);
  }

 private:
  std::string& out_;
  bool first_ = true;
};

void append_stats(std::string& out, const transform::TextStats& stats) {
  Members members(out);
  members.integer("bytes", stats.bytes);
  members.integer("chars", stats.chars);
  members.integer("lines", stats.lines);
  members.close();
}

void append_rule(std::string& out, const edit::RuleReport& rule) {
  Members members(out);
  members.string("rule", edit::rule_name(rule.rule));
  members.string("rule_name", rule.rule_name);
  members.integer("changes", rule.changes);
  members.integer("bytes_removed", rule.bytes_removed);
  members.boolean("lossy", rule.lossy);
  members.string("description", rule.description);
  members.close();
}

void append_warning(std::string& out, const transform::FoldWarning& warning) {
  Members members(out);
  members.string("code", warning.code);
  members.string("message", warning.message);
  members.close();
}

void append_budget(std::string& out, const transform::BudgetReport& budget) {
  Members members(out);
  members.string("metric", budget.metric);
  if (budget.tokenizer) members.string("tokenizer", *budget.tokenizer);
  members.boolean("exact_tokens", budget.exact_tokens);
  members.integer("limit", budget.limit);
  members.integer("input", budget.input);
  members.integer("output", budget.output);
  members.boolean("met", budget.met);
  members.close();
}

template <class Item, class Append>
void append_array(std::string& out, const std::vector<Item>& items, Append append) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += ',';
    append(out, items[i]);
  }
  out += ']';
}

}  // namespace

void append_json_double(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (std::signbit(value)) {
    out += '-';
    value = -value;
  }
  if (value == 0.0) {
    out += "0.0";
    return;
  }
  // Scientific form gives the shortest round-trip digits and their exponent in one go.
  std::array<char, 32> buffer{};
  const auto [end, error] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::scientific);
  static_cast<void>(error);  // 32 characters hold any shortest double
  const std::string_view scientific(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  const std::size_t e_at = scientific.find('e');
  std::string digits;
  for (char c : scientific.substr(0, e_at)) {
    if (c != '.') digits += c;
  }
  int exponent10 = 0;  // value = 0.digits * 10^exponent10
  std::from_chars(scientific.data() + e_at + 1 + (scientific[e_at + 1] == '+' ? 1 : 0),
                  scientific.data() + scientific.size(), exponent10);
  exponent10 += 1;
  const auto count = static_cast<int>(digits.size());
  if (exponent10 > 0 && exponent10 <= 16) {
    if (count <= exponent10) {
      out += digits;
      out.append(static_cast<std::size_t>(exponent10 - count), '0');
      out += ".0";
    } else {
      out.append(digits, 0, static_cast<std::size_t>(exponent10));
      out += '.';
      out.append(digits, static_cast<std::size_t>(exponent10));
    }
  } else if (exponent10 > -5 && exponent10 <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent10), '0');
    out += digits;
  } else {
    out += digits[0];
    if (count > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += 'e';
    append_integer(out, exponent10 - 1);
  }
}

std::string report_to_json(const transform::Report& report) {
  std::string out;
  out.reserve(640 + 192 * report.rules.size() + 160 * report.warnings.size());
  Members members(out);
  members.string("engine_version", report.engine_version);
  members.string("profile", report.profile);
  members.integer("profile_version", report.profile_version);
  members.integer("profile_schema_version", report.profile_schema_version);
  members.string("detected_language", report.detected_language);
  members.string("parse_status", transform::parse_status_name(report.parse_status));
  members.boolean("behavior_preserving", report.behavior_preserving);
  members.string("semantic_equivalence", report.semantic_equivalence);
  if (report.syntax_valid) members.boolean("syntax_valid", *report.syntax_valid);
  append_stats(members.key("input"), report.input);
  append_stats(members.key("output"), report.output);
  append_json_double(members.key("reduction_ratio"), report.reduction_ratio);
  append_array(members.key("rules"), report.rules, append_rule);
  append_array(members.key("warnings"), report.warnings, append_warning);
  if (report.budget) append_budget(members.key("budget"), *report.budget);
  members.integer("protected_bytes", report.protected_bytes);
  members.close();
  return out;
}

}  // namespace tersewright::python
