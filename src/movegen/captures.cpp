// The capture generator for a side known only at run time.
#include "movegen/captures.h"

namespace tervane {

void gen_captures(Move* list, int32_t& count) {
    Move* end = pos.side == 0 ? generate_captures<0>(list) : generate_captures<1>(list);
    count = static_cast<int32_t>(end - list);
}

} // namespace tervane
