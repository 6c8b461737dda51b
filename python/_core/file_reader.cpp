#include "file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tersewright::python {
namespace {

// strerror_r comes in a GNU flavour (returns the text) and an XSI one (fills the buffer).
[[maybe_unused]] const char* chosen_text(int result, const char* buffer) noexcept {
  return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* chosen_text(const char* result, const char*) noexcept { return result; }

ReadFailure os_failure(int error) {
  char buffer[256] = {};
  std::string reason = chosen_text(strerror_r(error, buffer, sizeof buffer), buffer);
  reason += " (os error ";
  reason += std::to_string(error);
  reason += ')';
  return {std::move(reason)};
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

bool is_continuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

}  // namespace

bool is_valid_utf8(std::string_view bytes) noexcept {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = data[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char second_low = 0x80;
    unsigned char second_high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) second_low = 0xA0;   // overlong
      if (lead == 0xED) second_high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) second_low = 0x90;   // overlong
      if (lead == 0xF4) second_high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (size - i < length) return false;
    if (data[i + 1] < second_low || data[i + 1] > second_high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if (!is_continuation(data[i + k])) return false;
    }
    i += length;
  }
  return true;
}

Result<std::string, ReadFailure> read_text_file(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return ReadFailure{"file name contained an unexpected NUL byte"};
  const std::string os_path(path);
  int fd = -1;
  do {
    fd = ::open(os_path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return os_failure(errno);
  const FileDescriptor file(fd);

  std::size_t expected = 0;
  struct stat status {};
  if (::fstat(file.get(), &status) == 0 && status.st_size > 0) expected = static_cast<std::size_t>(status.st_size);

  // One byte beyond the reported size, so that the common case ends with a single short read.
  std::string text(expected + 1, '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == text.size()) text.resize(text.size() + std::max<std::size_t>(text.size(), 8192));
    const ssize_t got = ::read(file.get(), text.data() + filled, text.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return os_failure(errno);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  text.resize(filled);
  if (!is_valid_utf8(text)) return ReadFailure{"stream did not contain valid UTF-8"};
  return text;
}

}  // namespace tersewright::python
