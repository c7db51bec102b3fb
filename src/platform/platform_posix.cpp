#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)

#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace tervane {

void init_platform() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
}

uint32_t tick_count() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

unsigned input_available() {
    pollfd request{STDIN_FILENO, POLLIN, 0};
    int ready = 0;
    do ready = ::poll(&request, 1, 0);
    while (ready < 0 && errno == EINTR);
    // An error, a hang-up or a closed descriptor all mean the next read returns at once.
    return ready != 0 ? 1u : 0u;
}

std::size_t read_input(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, capacity);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) return 0;
    }
}

} // namespace tervane

#endif
