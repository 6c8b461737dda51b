#include "edit/pages.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tersewright::edit {

namespace {
constexpr std::uintptr_t huge_page = std::uintptr_t{2} << 20;
// Below this, the pages a huge page would save are too few to matter.
constexpr std::size_t worth_advising = std::size_t{8} << 20;
}  // namespace

void prefer_huge_pages(const void* data, std::size_t size) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (data == nullptr || size < worth_advising) return;
  // Only whole huge pages inside the buffer: the advice covers whole pages, and the memory around
  // the buffer is not ours to advise.
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + huge_page - 1) & ~(huge_page - 1);
  const std::uintptr_t last = (begin + size) & ~(huge_page - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace tersewright::edit
