#include "position/position.h"
#include "uci/bench.h"
#include "uci/uci.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* USAGE =
    "Usage: tervane                speak UCI on standard input and output\n"
    "       tervane bench [DEPTH]  search the 40 bench positions to DEPTH (default 6)\n"
    "       tervane --help         print this help\n"
    "       tervane --version      print the version\n";

// A command line that is not understood ends the program at once with this status.
constexpr int USAGE_ERROR = 2;

// Every command line other than the engine's own (none or "bench"): returns the exit status.
int answer_arguments(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Tervane %s\n", tervane::ENGINE_VERSION);
        return 0;
    }
    const bool help =
        argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    std::fputs(USAGE, help ? stdout : stderr);
    return help ? 0 : USAGE_ERROR;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "bench") != 0) return answer_arguments(argc, argv);
    tervane::init_tables();
    if (argc >= 2) {
        const int depth = argc >= 3 ? static_cast<int>(tervane::read_integer(argv[2]))
                                    : tervane::BENCH_DEFAULT_DEPTH;
        return tervane::bench_command(depth > 0 ? depth : tervane::BENCH_DEFAULT_DEPTH);
    }
    tervane::set_up_position(tervane::START_FEN);
    return tervane::command_loop();
}
