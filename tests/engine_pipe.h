// Drives the real engine binary over pipes, the way a chess interface does.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace engine_pipe {

struct Engine {
    pid_t pid = -1;
    int to_engine = -1;
    int from_engine = -1;
    std::string pending; // bytes read but not yet returned as lines
    bool eof = false;
    int from_errors = -1; // standard error, when captured
};

// With `capture_errors` the engine's standard error goes to a pipe that read_errors
// reads; otherwise it is the test's own. `binary` is the ordinary engine unless named.
inline Engine start(const std::vector<std::string>& args = {}, bool capture_errors = false,
                    const char* binary = TERVANE_BINARY) {
    int in_pipe[2], out_pipe[2], error_pipe[2] = {-1, -1};
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) return {};
    if (capture_errors && pipe(error_pipe) != 0) return {};
    signal(SIGPIPE, SIG_IGN);
    Engine engine;
    engine.pid = fork();
    if (engine.pid == 0) {
        dup2(in_pipe[0], STDIN_FILENO);
        dup2(out_pipe[1], STDOUT_FILENO);
        close(in_pipe[0]), close(in_pipe[1]), close(out_pipe[0]), close(out_pipe[1]);
        if (capture_errors) {
            dup2(error_pipe[1], STDERR_FILENO);
            close(error_pipe[0]), close(error_pipe[1]);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(binary));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(binary, argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    engine.to_engine = in_pipe[1];
    engine.from_engine = out_pipe[0];
    if (capture_errors) {
        close(error_pipe[1]);
        engine.from_errors = error_pipe[0];
    }
    return engine;
}

// Writes raw bytes (a line needs its own "\n"). False once the engine has gone.
inline bool send_raw(Engine& engine, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(engine.to_engine, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

inline bool send(Engine& engine, std::string_view line) {
    return send_raw(engine, std::string(line) + "\n");
}

inline void close_input(Engine& engine) {
    if (engine.to_engine >= 0) close(engine.to_engine);
    engine.to_engine = -1;
}

// The next output line without its "\n", or nothing when none arrives in time.
inline std::optional<std::string> read_line(Engine& engine, int timeout_ms = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        auto newline = engine.pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = engine.pending.substr(0, newline);
            engine.pending.erase(0, newline + 1);
            return line;
        }
        if (engine.eof) return std::nullopt;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return std::nullopt;
        pollfd request{engine.from_engine, POLLIN, 0};
        if (poll(&request, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[65536];
        ssize_t n = read(engine.from_engine, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            engine.eof = true;
            continue;
        }
        engine.pending.append(chunk, static_cast<size_t>(n));
    }
}

// Lines up to and including the first that starts with `prefix`; stops early on timeout.
inline std::vector<std::string> read_until(Engine& engine, std::string_view prefix,
                                           int timeout_ms = 10000) {
    std::vector<std::string> lines;
    while (auto line = read_line(engine, timeout_ms)) {
        lines.push_back(*line);
        if (line->rfind(prefix, 0) == 0) break;
    }
    return lines;
}

// Exit status, or -1 when the engine did not end in time (it is killed then).
inline int wait_exit(Engine& engine, int timeout_ms = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    int status = 0;
    while (waitpid(engine.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(engine.pid, SIGKILL);
            waitpid(engine.pid, &status, 0);
            close_input(engine);
            close(engine.from_engine);
            return -1;
        }
        usleep(2000);
    }
    close_input(engine);
    close(engine.from_engine);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Everything the engine wrote to its captured standard error, up to its end or a pause of
// `timeout_ms`; call it once the engine has ended.
inline std::string read_errors(Engine& engine, int timeout_ms = 10000) {
    std::string errors;
    pollfd request{engine.from_errors, POLLIN, 0};
    char chunk[4096];
    for (;;) {
        if (poll(&request, 1, timeout_ms) <= 0) break;
        ssize_t n = read(engine.from_errors, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        errors.append(chunk, static_cast<size_t>(n));
    }
    close(engine.from_errors);
    engine.from_errors = -1;
    return errors;
}

// Whatever the engine printed after `command` until "readyok": a complete reply.
inline std::vector<std::string> ask(Engine& engine, std::string_view command,
                                    int timeout_ms = 10000) {
    send(engine, command);
    send(engine, "isready");
    auto lines = read_until(engine, "readyok", timeout_ms);
    if (!lines.empty() && lines.back() == "readyok") lines.pop_back();
    return lines;
}

} // namespace engine_pipe
