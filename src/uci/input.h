// Command lines from standard input, read into the engine's own buffer so that lines
// arriving during a search are seen whole and none is lost.
#pragma once

#include <cstddef>

namespace tervane {

// Blocks until a whole line is available and copies it, without its line end, into
// `line` (zero-terminated). Returns false at the end of input.
bool read_line(char* line, std::size_t capacity);

// During a search: takes in whatever input is waiting without blocking and acts on the
// lines meant for a running search ("stop", "quit", "isready", "ponderhit"); every
// other line stays queued, in order, for the command loop.
void poll_input();

// Blocks until "stop", "quit", "ponderhit" (while pondering) or the end of input,
// acting on search-time lines meanwhile.
void wait_for_release();

// Starts the search-time scan at the oldest queued line.
void begin_search_input();

bool input_closed();

} // namespace tervane
