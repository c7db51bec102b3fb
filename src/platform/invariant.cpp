#include "platform/build_config.h"

#include <cstdio>
#include <cstdlib>

namespace tervane {

void invariant_failed(const char* what) {
    std::fprintf(stderr, "tervane: invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace tervane
