#ifdef __EMSCRIPTEN__

// The browser: the engine runs in a Web Worker with its usual blocking command loop. The page
// writes command lines into a ring in shared memory, which the functions of
// platform_browser.js read; output lines leave as messages to the page (browser_worker.js).

#include "platform/platform.h"

#include <cstdio>
#include <emscripten.h>

extern "C" {
// platform_browser.js
unsigned tervane_input_available();
std::size_t tervane_read_input(char* buffer, std::size_t capacity);
}

namespace tervane {

void init_platform() {
    // Each line reaches the page as soon as it is complete.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

uint32_t tick_count() {
    return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

unsigned input_available() {
    return tervane_input_available();
}

std::size_t read_input(char* buffer, std::size_t capacity) {
    return tervane_read_input(buffer, capacity);
}

} // namespace tervane

#endif
