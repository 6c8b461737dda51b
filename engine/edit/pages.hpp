// Fresh memory costs a page fault on its first write, once per 4 KiB page. A fold writes a few
// buffers as large as its input (the output, the line index, the edit lists), and on inputs of a
// hundred megabytes those faults took longer than the fold's own work. Buffers that large ask the
// kernel for huge pages, which fault once per 2 MiB instead.
#pragma once

#include <cstddef>

namespace tersewright::edit {

// Advice only: the range stays as it is, with whatever pages the kernel gives it. Call it on a
// buffer just allocated and not yet written; small buffers and systems without the advice are left
// alone.
void prefer_huge_pages(const void* data, std::size_t size) noexcept;

}  // namespace tersewright::edit
