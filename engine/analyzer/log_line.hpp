// Recognisers for single log lines.
#pragma once

#include <string>
#include <string_view>

namespace tersewright::analyzer {

// Whether one line (without terminator) looks like a log record: a leading timestamp, a
// letters-only bracket tag, or a bare level word.
bool is_log_like_line(std::string_view line) noexcept;

// The event part of a log line: the line without its leading timestamp and level, trimmed.
std::string log_event_key(std::string_view line);

}  // namespace tersewright::analyzer
