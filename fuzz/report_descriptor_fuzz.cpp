// libFuzzer entry: see CheckReportDescriptor in fuzz_checks.h.

#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = vq::fuzz::CheckReportDescriptor({data, size});
    if (!problem.empty()) {
        std::fprintf(stderr, "check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
