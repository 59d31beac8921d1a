#include "vantrel/dynaarray.h"

#include <cstdio>

namespace morvilo {

namespace {
void printToStderr(const std::string &message) {
    std::fprintf(stderr, "%s\n", message.c_str());
}
AllocationFailureHandler allocationFailureHandler = printToStderr;
} // namespace

void SetAllocationFailureHandler(AllocationFailureHandler handler) {
    allocationFailureHandler = handler ? handler : printToStderr;
}

void ReportAllocationFailure(uint64_t bytes) {
    allocationFailureHandler("Error while trying to allocate " + std::to_string(bytes) +
                             " bytes of RAM. Not enough memory.");
}

} // namespace morvilo
