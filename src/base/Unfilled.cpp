#include "base/Unfilled.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

void PrefaultForWrite(void* p, size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    static const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = (uintptr_t(p) + page - 1) & ~(page - 1), to = (uintptr_t(p) + bytes) & ~(page - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)p;
    (void)bytes;
#endif
}
