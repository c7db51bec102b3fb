#include "position/position.h"
#include "uci/bench.h"
#include "uci/uci.h"

#include <cstring>

int main(int argc, char** argv) {
    tervane::init_tables();
    if (argc >= 2 && std::strcmp(argv[1], "bench") == 0) {
        const int depth = argc >= 3 ? static_cast<int>(tervane::read_integer(argv[2]))
                                    : tervane::BENCH_DEFAULT_DEPTH;
        return tervane::bench_command(depth > 0 ? depth : tervane::BENCH_DEFAULT_DEPTH);
    }
    tervane::set_up_position(tervane::START_FEN);
    return tervane::command_loop();
}
