// Everything the engine asks of the operating system: a clock and standard input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tervane {

// Sets up standard input and output (unbuffered output, raw input).
void init_platform();

// Milliseconds of a monotonic clock, 32 bits wide like a tick counter.
uint32_t tick_count();

// Nonzero when unread bytes wait on standard input or the input has been closed, so
// that a following read_input returns at once; 0 otherwise. Never blocks.
unsigned input_available();

// Reads what standard input holds into `buffer` (blocking until at least one byte
// arrives). Returns the number of bytes, or 0 at the end of input or on an error.
std::size_t read_input(char* buffer, std::size_t capacity);

} // namespace tervane
