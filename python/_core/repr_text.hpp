// Text pieces of the class representations: quoted strings and the three-decimal ratio.
#pragma once

#include <string>
#include <string_view>

namespace tersewright::python {

// Appends the text, valid UTF-8 as every str's is, between double quotes, escaping backslash, the
// double quote, tab, CR, LF and NUL by letter, and non-printable or grapheme-extending characters
// as \u{hex}.
void append_quoted(std::string& out, std::string_view utf8);

// Fixed notation with three fractional digits, rounded from the double's exact value with ties
// to even (0.0625 gives 0.062).
void append_ratio(std::string& out, double ratio);

}  // namespace tersewright::python
