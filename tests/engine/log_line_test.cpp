// Log-record recognition for detection, and the event key that repeat collapsing compares.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "analyzer/log_line.hpp"

namespace {

using tersewright::analyzer::is_log_like_line;
using tersewright::analyzer::log_event_key;

struct LogLikeCase {
  const char* line;
  bool log_like;
};

void PrintTo(const LogLikeCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.line)); }

class LogLikeLine : public ::testing::TestWithParam<LogLikeCase> {};

TEST_P(LogLikeLine, Recognises) { EXPECT_EQ(is_log_like_line(GetParam().line), GetParam().log_like); }

INSTANTIATE_TEST_SUITE_P(
    Table, LogLikeLine,
    ::testing::Values(
        // Timestamps: only the dashes and the date/time separator are checked, over 19 bytes.
        LogLikeCase{"2024-05-01 12:00:00 x", true}, LogLikeCase{"2024-05-01T12:00:00", true},
        LogLikeCase{"abcd-ef-ghTij:kl:mn", true}, LogLikeCase{"2024-05-01T12:00:0", false},
        LogLikeCase{"2024/05/01 12:00:00 x", false}, LogLikeCase{"2024-05-01 x", false},
        LogLikeCase{"2024-05-01_12:00:00 x", false},
        // Bracket tags: letters only, at least one, up to the first "]".
        LogLikeCase{"[abc] x", true}, LogLikeCase{"[INFO]", true}, LogLikeCase{"[] x", false},
        LogLikeCase{"[worker-1] x", false}, LogLikeCase{"[abc", false}, LogLikeCase{"[ab]c]", true},
        LogLikeCase{"[a1] x", false},
        // Level words and what may follow them.
        LogLikeCase{"INFO", true}, LogLikeCase{"WARN: x", true}, LogLikeCase{"ERROR] x", true},
        LogLikeCase{"CRITICAL boom", true}, LogLikeCase{"TRACE", true}, LogLikeCase{"FATAL:", true},
        LogLikeCase{"WARNING: x", false}, LogLikeCase{"INFO-x", false}, LogLikeCase{"INFOrmation", false},
        LogLikeCase{"info: x", false}, LogLikeCase{"x INFO", false}, LogLikeCase{"", false},
        // Leading Unicode whitespace is skipped, including non-ASCII spaces.
        LogLikeCase{"  ERROR boom", true}, LogLikeCase{"\t\xC2\xA0[abc] x", true},
        LogLikeCase{"\xE3\x80\x80" "2024-05-01 12:00:00", true}, LogLikeCase{"\xC2\xA0WARN", true}));

struct KeyCase {
  const char* line;
  const char* key;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.line)); }

class LogEventKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(LogEventKey, StripsTimestampAndLevel) { EXPECT_EQ(log_event_key(GetParam().line), GetParam().key); }

INSTANTIATE_TEST_SUITE_P(
    Table, LogEventKey,
    ::testing::Values(
        KeyCase{"2024-05-01 12:00:00 INFO Started", "Started"},
        KeyCase{"2024-05-01T12:00:00.123Z [INFO] Started", "Started"},
        KeyCase{"[INFO]   Started  ", "Started"}, KeyCase{"INFO - Started", "Started"},
        KeyCase{"2024-05-01T12:00:00+02:00 WARNING: disk low", "disk low"},
        KeyCase{"WARNING: disk low", "disk low"}, KeyCase{"WARN: disk low", "disk low"},
        // Fractions and zones extend the timestamp; anything else ends it where it stands.
        KeyCase{"2024-05-01 12:00:00,123 INFO Started", ",123 INFO Started"},
        KeyCase{"2024-05-01 12:00:00.5 x", "x"}, KeyCase{"2024-05-01 12:00:00. x", "x"},
        KeyCase{"2024-05-01 12:00:00.123456-0700 x", "x"}, KeyCase{"2024-05-01 12:00:00Zx", "x"},
        KeyCase{"2024-05-01 12:00:00.12Z.3 x", ".3 x"}, KeyCase{"2024-05-01 12:00:00+05:30:x", "x"},
        KeyCase{"2024-05-01 12:00:00x", "x"}, KeyCase{"2024-05-01 12:00", "2024-05-01 12:00"},
        KeyCase{"2024-05-01 12.00.00 INFO a", "2024-05-01 12.00.00 INFO a"},
        KeyCase{"2024-05-01 12:00:00", ""}, KeyCase{"2024-05-01T12:00:00.999+01:00", ""},
        // Bracket tags replace the level: nothing further is removed behind them.
        KeyCase{"[worker] Started", "Started"}, KeyCase{"[worker-1] Started", "[worker-1] Started"},
        KeyCase{"[INFO] ERROR: x", "ERROR: x"}, KeyCase{"[] x", "[] x"}, KeyCase{"[INFO]", ""},
        KeyCase{"2024-05-01 12:00:00 [db] INFO q", "INFO q"},
        // Level words: case-sensitive, separator required, every separator after them dropped.
        KeyCase{"ERROR", ""}, KeyCase{"INFOrmation", "INFOrmation"}, KeyCase{"info: x", "info: x"},
        KeyCase{"ERROR]:- -x", "x"}, KeyCase{"DEBUG-x", "x"}, KeyCase{"CRITICAL: y", "y"},
        KeyCase{"INFO INFO x", "INFO x"}, KeyCase{"", ""}, KeyCase{" \t ", ""},
        // Unicode whitespace around the line and after each removed part.
        KeyCase{"\xC2\xA0" "INFO x\xE3\x80\x80", "x"},
        KeyCase{"\xE3\x80\x80" "2024-05-01 12:00:00\xE2\x80\x83" "ERROR:\xC2\xA0" "boom\xC2\xA0", "boom"},
        KeyCase{"[a]\xE2\x80\xA8x", "x"}));

// When the 19th byte of a timestamp starts a character that continues past it, there is no cut
// point on a character boundary: the line is read as having no timestamp at all.
INSTANTIATE_TEST_SUITE_P(
    SplitCharacter, LogEventKey,
    ::testing::Values(KeyCase{"2024-05-01 12:00:0\xC3\xA9 INFO x", "2024-05-01 12:00:0\xC3\xA9 INFO x"},
                      KeyCase{"2024-05-01 12:00:\xE2\x82\xAC x", "2024-05-01 12:00:\xE2\x82\xAC x"},
                      // Ending exactly at a character's end is a fine cut.
                      KeyCase{"2024-05-01 12:00:\xC3\xA9 INFO x", "x"},
                      // A refused timestamp leaves the tag and level steps to the whole line.
                      KeyCase{"INFO-05-01 12:00:0\xC3\xA9 x", "05-01 12:00:0\xC3\xA9 x"},
                      KeyCase{"[ab]-05-01 12:00:0\xC3\xA9 x", "-05-01 12:00:0\xC3\xA9 x"},
                      KeyCase{"INFO-05-01 12:00:00 x", "x"}));

}  // namespace
