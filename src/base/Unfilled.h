#pragma once
// An allocator that leaves new items unwritten, for stores that are filled at once after
// they grow (a block copy, a file read straight into place): the room costs no pass of its
// own. Only for types that are plain bytes.
#include <memory>
#include <type_traits>

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
