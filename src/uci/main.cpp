#include "position/position.h"
#include "uci/uci.h"

int main() {
    tervane::init_tables();
    tervane::set_fen(tervane::START_FEN);
    return tervane::command_loop();
}
