// Reading a whole file as UTF-8 text for fold_file.
#pragma once

#include <string>
#include <string_view>

#include "result.hpp"

namespace tersewright::python {

struct ReadFailure {
  std::string reason;  // e.g. "No such file or directory (os error 2)"
};

// Only reads; no byte order mark or newline handling, the text is the file's bytes.
Result<std::string, ReadFailure> read_text_file(std::string_view path);

bool is_valid_utf8(std::string_view bytes) noexcept;

}  // namespace tersewright::python
