#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "cli/system_io.h"

namespace kelvora::cli {

namespace {

std::atomic<bool>* gInterruptFlag = nullptr;
std::atomic<bool> gExitAtOnce{false};
constexpr int kCancelledExit = 130;

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    const bool second = gInterruptFlag != nullptr && gInterruptFlag->exchange(true);
    if (gExitAtOnce || second) {
        std::fputs("\nkelvora-fido2: cancelled\n", stderr);
        std::_Exit(kCancelledExit);
    }
    return TRUE;
}

std::optional<std::string> ReadFdLine(int fd) {
    std::string line;
    char c = 0;
    for (;;) {
        const int got = _read(fd, &c, 1);
        if (got <= 0) {
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        }
        if (c == '\n') {
            break;
        }
        line += c;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

class DescriptorInput final : public Input {
  public:
    explicit DescriptorInput(int fd) : fd_(fd) {}
    std::optional<std::string> ReadLine(std::string_view /*prompt*/, bool /*secret*/) override {
        return ReadFdLine(fd_);
    }

  private:
    int fd_;
};

class TerminalInput final : public Input {
  public:
    std::optional<std::string> ReadLine(std::string_view prompt, bool secret) override {
        std::cerr << prompt << std::flush;
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        const bool console = GetConsoleMode(input, &mode) != 0;
        if (secret && console) {
            SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
        }
        std::optional<std::string> line = ReadFdLine(0);
        if (secret && console) {
            SetConsoleMode(input, mode);
            std::cerr << '\n';
        }
        return line;
    }
};

}  // namespace

std::unique_ptr<Input> MakeTerminalInput() {
    return std::make_unique<TerminalInput>();
}

std::unique_ptr<Input> MakeDescriptorInput(int fd) {
    return std::make_unique<DescriptorInput>(fd);
}

void InstallInterruptHandler(std::atomic<bool>& flag, bool exitAtOnce) {
    gInterruptFlag = &flag;
    gExitAtOnce = exitAtOnce;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

LocalTimeFunction SystemLocalTime() {
    return [](std::time_t when) {
        std::tm local{};
        localtime_s(&local, &when);
        return local;
    };
}

}  // namespace kelvora::cli
