#include "vantrel/dynaarray.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace morvilo {

namespace {
void printToStderr(const std::string &message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}
AllocationFailureHandler allocationFailureHandler = printToStderr;

std::atomic<uint64_t> blockLimit{0}; // 0: the default

uint64_t defaultBlockLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return UINT64_MAX; // unknown: only the allocator decides
    return uint64_t(pages) / 4 * 3 * uint64_t(pageSize);
}
} // namespace

uint64_t DynaArrayBlockLimit() {
    static const uint64_t physical = defaultBlockLimit();
    const uint64_t set = blockLimit.load(std::memory_order_relaxed);
    return set ? set : physical;
}

void SetDynaArrayBlockLimit(uint64_t bytes) {
    blockLimit.store(bytes, std::memory_order_relaxed);
}

void SetAllocationFailureHandler(AllocationFailureHandler handler) {
    allocationFailureHandler = handler ? handler : printToStderr;
}

void ReportAllocationFailure(uint64_t bytes) {
    allocationFailureHandler("Error while trying to allocate " + std::to_string(bytes) +
                             " bytes of RAM. Not enough memory.");
}

} // namespace morvilo
