#include "core/LargeBuffer.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace LargeBuffer {

void advise(const void *begin, qsizetype bytes)
{
#ifdef Q_OS_LINUX
    // A large page is 2 MB: a smaller buffer could not hold one whole.
    constexpr qsizetype Worth = qsizetype(4) << 20;
    if (!begin || bytes < Worth)
        return;
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr from = (quintptr(begin) + page - 1) & ~(page - 1);
    const quintptr to = (quintptr(begin) + quintptr(bytes)) & ~(page - 1);
    madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(begin);
    Q_UNUSED(bytes);
#endif
}

} // namespace LargeBuffer
