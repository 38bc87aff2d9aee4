#pragma once
// An allocator that leaves new items unwritten, for stores that are filled at once after
// they grow (a block copy, a file read straight into place): the room costs no pass of its
// own. Only for types that are plain bytes.
#include <cstddef>
#include <memory>
#include <type_traits>

// Room about to be written whole gets its pages from the system in one call instead of a
// fault per page, which is a tenth of reading a large file into fresh memory. Where the
// system cannot, the writes fault the pages in as ever.
void PrefaultForWrite(void* p, size_t bytes);

template <typename T>
struct TUnfilledAllocator : std::allocator<T> {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    template <typename U>
    struct rebind {
        using other = TUnfilledAllocator<U>;
    };
    TUnfilledAllocator() = default;
    template <typename U>
    TUnfilledAllocator(const TUnfilledAllocator<U>&) noexcept
    {}
    // Made without a value: left as it is. (With one, the standard construction applies.)
    template <typename U>
    void construct(U*) noexcept
    {}
};
