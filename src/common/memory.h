#pragma once
// Large buffers backed by 2 MiB pages where the system offers them on
// request. A buffer written for the first time takes one page fault per page;
// a drawing of hundreds of thousands of entities writes tens of MiB of model
// and scene, and on virtual machines the faults of 4 KiB pages cost more
// than the writing itself.
#include <cstddef>
#include <vector>

namespace zumen {

// Buffers from this size on are worth the advice.
inline constexpr size_t kHugePageWorthBytes = size_t{4} << 20;

// Advises huge pages for the whole 2 MiB pages within [p, p + bytes); best
// given before the memory is first written. Does nothing where the system
// has no such advice.
void AdviseHugePages(const void* p, size_t bytes);

// v.reserve(n), with huge pages advised for a large buffer.
template <class T>
void ReserveLarge(std::vector<T>& v, size_t n) {
  v.reserve(n);
  if (v.capacity() * sizeof(T) >= kHugePageWorthBytes) AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

// v.push_back(value), a large buffer that has to grow advised huge pages
// before the elements move into it.
template <class T>
void PushBackLarge(std::vector<T>& v, T&& value) {
  if (v.size() == v.capacity() && v.capacity() * sizeof(T) * 2 >= kHugePageWorthBytes)
    ReserveLarge(v, v.capacity() * 2);
  v.push_back(std::move(value));
}

}  // namespace zumen
