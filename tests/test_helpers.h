// Small helpers that several test files share.
#pragma once

#include "movegen/movegen.h"
#include "position/position.h"

#include <string>

namespace tervane {

// A square by its name, "e4".
constexpr Square sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

// A move's text as the engine writes it, "e7e8q".
inline std::string text_of(Move move) {
    char text[6];
    move_to_text(move, text);
    return text;
}

} // namespace tervane
