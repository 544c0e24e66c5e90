#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/descriptor_input.h"
#include "cli/system_io.h"

namespace kelvora::cli {

namespace {

std::atomic<bool>* gInterruptFlag = nullptr;
std::atomic<bool> gExitAtOnce{false};
// The terminal settings to put back when the program ends during a hidden read.
termios gSavedTerminal{};
int gQuietTerminalFd = -1;
volatile sig_atomic_t gTerminalQuiet = 0;

constexpr char kCancelledLine[] = "\nkelvora-fido2: cancelled\n";
constexpr int kCancelledExit = 130;

extern "C" void OnInterrupt(int signal) {
    const bool second = gInterruptFlag != nullptr && gInterruptFlag->exchange(true);
    if (gExitAtOnce || second || signal == SIGTERM) {
        // tcsetattr(), write() and _exit() are async-signal-safe; nothing else is done here.
        if (gTerminalQuiet != 0) {
            ::tcsetattr(gQuietTerminalFd, TCSANOW, &gSavedTerminal);
        }
        [[maybe_unused]] const auto written =
            ::write(STDERR_FILENO, kCancelledLine, sizeof kCancelledLine - 1);
        ::_exit(kCancelledExit);
    }
}

class TerminalInput final : public Input {
  public:
    std::optional<std::string> ReadLine(std::string_view prompt, bool secret) override {
        std::cerr << prompt << std::flush;
        if (!secret) {
            return ReadFdLine(STDIN_FILENO);
        }
        std::optional<std::string> line = ReadSecretFdLine(STDIN_FILENO);
        if (::isatty(STDIN_FILENO) != 0) {
            std::cerr << '\n';
        }
        return line;
    }
};

}  // namespace

ByteRead ReadFdByte(int fd, char& c) {
    const ssize_t got = ::read(fd, &c, 1);
    if (got < 0 && errno == EINTR) {
        return ByteRead::kInterrupted;
    }
    return got == 1 ? ByteRead::kByte : ByteRead::kEnd;
}

std::optional<std::string> ReadSecretFdLine(int fd) {
    termios saved{};
    if (::isatty(fd) == 0 || ::tcgetattr(fd, &saved) != 0) {
        return ReadFdLine(fd);
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    gSavedTerminal = saved;
    gQuietTerminalFd = fd;
    gTerminalQuiet = 1;
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    std::optional<std::string> line = ReadFdLine(fd);
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    gTerminalQuiet = 0;
    return line;
}

std::unique_ptr<Input> MakeTerminalInput() {
    return std::make_unique<TerminalInput>();
}

void InstallInterruptHandler(std::atomic<bool>& flag, bool exitAtOnce) {
    gInterruptFlag = &flag;
    gExitAtOnce = exitAtOnce;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked read returns EINTR
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

LocalTimeFunction SystemLocalTime() {
    return [](std::time_t when) {
        std::tm local{};
        ::localtime_r(&when, &local);
        return local;
    };
}

}  // namespace kelvora::cli
