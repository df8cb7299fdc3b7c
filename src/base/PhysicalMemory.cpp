#include "base/PhysicalMemory.h"

#include <unistd.h>

namespace trimlark {

double PhysicalMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<double>(pages) * static_cast<double>(pageSize) : 4294967296.0;
}

} // namespace trimlark
