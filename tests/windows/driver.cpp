// Plays a chess interface to the Windows build. It starts tervane.exe on anonymous pipes made
// here, on the Windows side (under Wine a pipe coming from a Linux process cannot be peeked,
// so the engine's input poll would not be what it is on Windows), and checks the answers.
//
//   driver.exe ENGINE.exe SESSION EXPECTED
//
// SESSION holds command lines that are sent at once; EXPECTED is what the Linux build
// answered to them. The two outputs must be the same apart from times and speeds.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Engine {
    HANDLE process = nullptr;
    HANDLE to_engine = nullptr;
    HANDLE from_engine = nullptr;
    std::string pending;  // bytes received and not yet handed out as lines
    std::string received; // every byte received
};

struct Tally {
    int passed = 0;
    int failed = 0;
};

Tally tally;
std::string engine_path;

void check(bool ok, std::string_view name, const std::string& detail = {}) {
    if (ok) {
        ++tally.passed;
        std::printf("ok     %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
        ++tally.failed;
        std::printf("FAILED %.*s%s%s\n", static_cast<int>(name.size()), name.data(),
                    detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string windows_path(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Starts the engine with its output on a pipe and its input on a pipe, or on `input_file`.
bool start_engine(Engine& engine, HANDLE input_file = nullptr) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE child_input = nullptr;
    HANDLE child_output = nullptr;
    if (input_file == nullptr) {
        if (!CreatePipe(&child_input, &engine.to_engine, &inherited, 0)) return false;
        SetHandleInformation(engine.to_engine, HANDLE_FLAG_INHERIT, 0);
    }
    if (!CreatePipe(&engine.from_engine, &child_output, &inherited, 0)) return false;
    SetHandleInformation(engine.from_engine, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input_file != nullptr ? input_file : child_input;
    startup.hStdOutput = child_output;
    // Anything on the error stream would be a fault, so it lands among the checked lines.
    startup.hStdError = child_output;
    std::string command = "\"" + engine_path + "\"";
    PROCESS_INFORMATION info{};
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info) != 0;
    // Our copies of the child's ends must go, or the pipes never report the other side gone.
    if (child_input != nullptr) CloseHandle(child_input);
    CloseHandle(child_output);
    if (!started) return false;
    CloseHandle(info.hThread);
    engine.process = info.hProcess;
    return true;
}

bool send_raw(Engine& engine, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(engine.to_engine, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool send(Engine& engine, std::string_view line) {
    return send_raw(engine, std::string(line) + "\n");
}

void close_input(Engine& engine) {
    if (engine.to_engine != nullptr) CloseHandle(engine.to_engine);
    engine.to_engine = nullptr;
}

// The next output line without its line feed; nothing when none comes in time or the
// engine's output has ended.
std::optional<std::string> read_line(Engine& engine, DWORD timeout_ms = 10000) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        const std::size_t newline = engine.pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = engine.pending.substr(0, newline);
            engine.pending.erase(0, newline + 1);
            return line;
        }
        // Anonymous pipes cannot wait with a timeout: peek, and read only what is there.
        DWORD available = 0;
        if (!PeekNamedPipe(engine.from_engine, nullptr, 0, nullptr, &available, nullptr))
            return std::nullopt;
        if (available > 0) {
            char chunk[4096];
            DWORD got = 0;
            const DWORD wanted = available < sizeof chunk ? available : sizeof chunk;
            if (!ReadFile(engine.from_engine, chunk, wanted, &got, nullptr)) return std::nullopt;
            engine.pending.append(chunk, got);
            engine.received.append(chunk, got);
            continue;
        }
        if (GetTickCount64() >= deadline) return std::nullopt;
        Sleep(1);
    }
}

// Reads lines until one begins with `prefix`; the lines before it go to `before`.
std::optional<std::string> read_until(Engine& engine, std::string_view prefix,
                                      DWORD timeout_ms = 10000,
                                      std::vector<std::string>* before = nullptr) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return std::nullopt;
        auto line = read_line(engine, static_cast<DWORD>(deadline - now));
        if (!line) return std::nullopt;
        if (starts_with(*line, prefix)) return line;
        if (before != nullptr) before->push_back(*line);
    }
}

std::optional<DWORD> wait_exit(Engine& engine, DWORD timeout_ms) {
    if (WaitForSingleObject(engine.process, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(engine.process, &code);
    return code;
}

// Collects what is left of the output after the engine has ended.
void drain(Engine& engine) {
    while (read_line(engine, 0)) {}
}

void finish(Engine& engine) {
    close_input(engine);
    if (engine.process != nullptr) {
        if (WaitForSingleObject(engine.process, 0) != WAIT_OBJECT_0)
            TerminateProcess(engine.process, 1);
        CloseHandle(engine.process);
    }
    if (engine.from_engine != nullptr) CloseHandle(engine.from_engine);
    engine = Engine{};
}

bool has_line(const std::vector<std::string>& lines, std::string_view wanted) {
    for (const auto& line : lines)
        if (line == wanted) return true;
    return false;
}

// A line as the report shows it, with a stray carriage return made visible.
std::string shown(const std::optional<std::string>& line) {
    if (!line) return "nothing";
    std::string text = "\"";
    for (char c : *line) text += c == '\r' ? std::string("\\r") : std::string(1, c);
    return text + "\"";
}

std::optional<std::vector<std::string>> read_file_lines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    std::fclose(file);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Times and speeds differ from run to run and machine to machine; all else must not.
std::string without_times(const std::string& line) {
    if (starts_with(line, "Time: ")) return "Time: *";
    std::string result;
    std::string_view rest = line;
    bool blank_next = false;
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        const std::string_view word = rest.substr(0, space);
        result += blank_next ? std::string_view("*") : word;
        blank_next = starts_with(line, "info ") && (word == "time" || word == "nps");
        if (space == std::string_view::npos) break;
        result += ' ';
        rest.remove_prefix(space + 1);
    }
    return result;
}

// Perft prints its speed only when the count took a measurable time.
bool is_speed_line(const std::string& line) {
    return starts_with(line, "Knps: ");
}

void test_identification() {
    Engine engine;
    if (!start_engine(engine)) return check(false, "the engine starts", engine_path);
    auto first = read_line(engine);
    auto second = read_line(engine);
    check(first == "Tervane 1.7" && second == "UCI chess engine", "banner",
          shown(first) + " " + shown(second));

    send(engine, "uci");
    auto name = read_line(engine);
    auto author = read_line(engine);
    auto ok = read_line(engine);
    check(name == "id name Tervane 1.7" && author == "id author Orsolen" && ok == "uciok",
          "uci answers with the id lines and uciok",
          shown(name) + " " + shown(author) + " " + shown(ok));

    // Interfaces on Windows may end their lines with CR LF, and pipes may cut a line anywhere.
    send_raw(engine, "isready\r\n");
    auto ready = read_line(engine);
    check(ready == "readyok", "a line ended by CR LF", shown(ready));
    send_raw(engine, "isre");
    Sleep(100);
    send_raw(engine, "ady\n");
    ready = read_line(engine);
    check(ready == "readyok", "a line arriving in two pieces", shown(ready));

    close_input(engine);
    auto code = wait_exit(engine, 10000);
    drain(engine);
    check(code == 0u, "the end of input ends the engine with status 0",
          code ? std::to_string(*code) : "still running");
    check(engine.received.find('\r') == std::string::npos,
          "output lines end with a bare line feed");
    finish(engine);
}

void test_perft() {
    Engine engine;
    if (!start_engine(engine)) return check(false, "the engine starts", engine_path);
    send(engine, "perft 4");
    std::vector<std::string> lines;
    auto expected = read_until(engine, "Expected: ", 60000, &lines);
    check(has_line(lines, "Nodes for depth 4:  197281") && expected == "Expected: 197281",
          "perft 4 counts 197281 leaves", shown(expected));
    finish(engine);
}

void test_same_as_linux(const std::string& session_path, const std::string& expected_path) {
    auto session = read_file_lines(session_path);
    auto expected = read_file_lines(expected_path);
    if (!session || !expected)
        return check(false, "output identical to the Linux build's",
                     "cannot read " + session_path + " or " + expected_path);
    std::size_t searches = 0;
    for (const auto& line : *session) searches += starts_with(line, "go") ? 1 : 0;
    std::size_t expected_searches = 0;
    for (const auto& line : *expected) expected_searches += starts_with(line, "bestmove ") ? 1 : 0;
    if (searches == 0 || expected_searches != searches)
        return check(false, "output identical to the Linux build's",
                     expected_path + " holds " + std::to_string(expected_searches) +
                         " bestmove lines for " + std::to_string(searches) + " searches");

    Engine engine;
    if (!start_engine(engine)) return check(false, "the engine starts", engine_path);
    // All at once, as the Linux build got it: queued lines must wait through each search.
    std::string all;
    for (const auto& line : *session) all += line + "\n";
    send_raw(engine, all);
    std::vector<std::string> actual;
    for (std::size_t found = 0; found < searches;) {
        auto line = read_line(engine, 120000);
        if (!line) break;
        actual.push_back(*line);
        found += starts_with(*line, "bestmove ") ? 1 : 0;
    }
    finish(engine);

    std::vector<std::string> want;
    std::vector<std::string> got;
    for (const auto& line : *expected)
        if (!is_speed_line(line)) want.push_back(without_times(line));
    for (const auto& line : actual)
        if (!is_speed_line(line)) got.push_back(without_times(line));
    std::string detail;
    for (std::size_t i = 0; detail.empty() && i < want.size() && i < got.size(); ++i)
        if (want[i] != got[i])
            detail = "line " + std::to_string(i + 1) + ": expected " + shown(want[i]) + ", got " +
                     shown(got[i]);
    if (detail.empty() && want.size() != got.size())
        detail = std::to_string(want.size()) + " lines expected, " + std::to_string(got.size()) +
                 " received";
    check(detail.empty(), "output identical to the Linux build's (perft, print, go depth 5)",
          detail);
}

// Starts an infinite search from the initial position and waits until it is well under way.
bool start_infinite_search(Engine& engine) {
    if (!start_engine(engine)) return false;
    send(engine, "position startpos");
    send(engine, "go infinite");
    return read_until(engine, "info depth 5 score", 30000).has_value();
}

void test_search_control() {
    Engine engine;
    const bool searching = start_infinite_search(engine);
    check(searching, "go infinite searches");
    if (!searching) return finish(engine);

    std::vector<std::string> lines;
    send(engine, "isready");
    auto ready = read_until(engine, "readyok", 10000, &lines);
    bool early_bestmove = false;
    for (const auto& line : lines) early_bestmove = early_bestmove || starts_with(line, "bestmove");
    check(ready && !early_bestmove, "isready is answered during go infinite");

    send(engine, "stop");
    const ULONGLONG stopped = GetTickCount64();
    auto bestmove = read_until(engine, "bestmove ", 5000);
    const ULONGLONG waited = GetTickCount64() - stopped;
    // The poll comes every 65536 nodes: a few tens of milliseconds, a second at the most
    // on a crowded machine.
    check(bestmove && *bestmove != "bestmove 0000" && waited < 2000,
          "stop is answered at once with a bestmove",
          shown(bestmove) + " after " + std::to_string(waited) + " ms");
    send(engine, "isready");
    ready = read_line(engine);
    check(ready == "readyok", "the engine is back at its command loop", shown(ready));

    // The clock: a fixed move time is spent, not much less and not much more.
    send(engine, "position startpos");
    send(engine, "go movetime 1000");
    const ULONGLONG asked = GetTickCount64();
    bestmove = read_until(engine, "bestmove ", 15000);
    const ULONGLONG spent = GetTickCount64() - asked;
    check(bestmove && spent >= 800 && spent < 10000, "go movetime 1000 keeps to its time",
          shown(bestmove) + " after " + std::to_string(spent) + " ms");
    finish(engine);
}

void test_quit_during_search() {
    Engine engine;
    if (!start_infinite_search(engine)) {
        check(false, "quit during a search ends the engine with status 0", "no search");
        return finish(engine);
    }
    send(engine, "quit");
    auto code = wait_exit(engine, 10000);
    drain(engine);
    check(code == 0u, "quit during a search ends the engine with status 0",
          code ? std::to_string(*code) : "still running");
    check(engine.received.find("\nbestmove ") != std::string::npos,
          "the search ended by quit still names its move");
    finish(engine);
}

void test_closed_input_during_search() {
    Engine engine;
    if (!start_infinite_search(engine)) {
        check(false, "closing the input during a search ends the engine", "no search");
        return finish(engine);
    }
    close_input(engine);
    auto code = wait_exit(engine, 10000);
    drain(engine);
    check(code == 0u && engine.received.find("\nbestmove ") != std::string::npos,
          "closing the input during a search ends the engine with status 0",
          code ? std::to_string(*code) : "still running");
    finish(engine);
}

// Standard input redirected from a file is neither console nor pipe.
void test_input_from_file() {
    char folder[MAX_PATH];
    char path[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0 || GetTempFileNameA(folder, "tvn", 0, path) == 0)
        return check(false, "commands read from a file", "no temporary file");
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return check(false, "commands read from a file", path);
    const std::string_view commands = "uci\r\nperft 2\r\nisready\r\n";
    DWORD written = 0;
    WriteFile(file, commands.data(), static_cast<DWORD>(commands.size()), &written, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);

    Engine engine;
    const bool started = start_engine(engine, file);
    CloseHandle(file);
    DeleteFileA(path);
    if (!started) return check(false, "the engine starts", engine_path);
    auto code = wait_exit(engine, 10000);
    drain(engine);
    check(code == 0u && engine.received.find("\nuciok\n") != std::string::npos &&
              engine.received.find("\nNodes for depth 2:  400\n") != std::string::npos &&
              engine.received.find("\nreadyok\n") != std::string::npos,
          "commands read from a file, then the end of input",
          code ? "status " + std::to_string(*code) : "still running");
    finish(engine);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: driver ENGINE.exe SESSION EXPECTED\n");
        return 2;
    }
    engine_path = windows_path(argv[1]);
    test_identification();
    test_perft();
    test_same_as_linux(argv[2], argv[3]);
    test_search_control();
    test_quit_during_search();
    test_closed_input_during_search();
    test_input_from_file();
    std::printf("%d passed, %d failed\n", tally.passed, tally.failed);
    return tally.failed == 0 ? 0 : 1;
}
