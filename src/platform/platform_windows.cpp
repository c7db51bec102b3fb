#ifdef _WIN32

#include "platform/platform.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tervane {

namespace {

// What the first poll learnt about standard input; it does not change while we run.
struct StandardInput {
    bool polled = false;
    bool is_pipe = false;
    HANDLE handle = nullptr;
};

StandardInput standard_input;

void inspect_standard_input() {
    auto& input = standard_input;
    input.polled = true;
    input.handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    input.is_pipe = GetConsoleMode(input.handle, &mode) == 0;
    if (input.is_pipe) return;
    // Window-size and mouse events would be counted as typed input and make the next
    // read wait for a line nobody is typing.
    SetConsoleMode(input.handle,
                   mode & ~static_cast<DWORD>(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
    FlushConsoleInputBuffer(input.handle);
}

} // namespace

void init_platform() {
    // Binary on both sides: lines leave with the bare line feed the engine prints, as on
    // every other platform (interfaces accept it), and a carriage return sent by the
    // interface reaches the line reader, which drops it itself.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
}

uint32_t tick_count() {
    return static_cast<uint32_t>(GetTickCount());
}

unsigned input_available() {
    auto& input = standard_input;
    if (!input.polled) inspect_standard_input();
    if (input.is_pipe) {
        DWORD available = 0;
        // A failed peek is a pipe the interface has closed (or no pipe at all, like a
        // file): either way the read that follows returns at once.
        if (PeekNamedPipe(input.handle, nullptr, 0, nullptr, &available, nullptr) == 0) return 1;
        return static_cast<unsigned>(available);
    }
    DWORD events = 0;
    if (GetNumberOfConsoleInputEvents(input.handle, &events) == 0) return 0;
    // One event alone is most often the release of the key that ended the last line.
    return events > 1 ? static_cast<unsigned>(events) : 0;
}

std::size_t read_input(char* buffer, std::size_t capacity) {
    const DWORD wanted = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
    DWORD received = 0;
    // ERROR_BROKEN_PIPE, the interface having closed its end, is the usual end of input.
    if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, wanted, &received, nullptr) == 0) return 0;
    return received;
}

} // namespace tervane

#endif
