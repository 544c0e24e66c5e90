#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "cli/descriptor_input.h"
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

class TerminalInput final : public Input {
  public:
    std::optional<std::string> ReadLine(std::string_view prompt, bool secret) override {
        std::cerr << prompt << std::flush;
        if (!secret) {
            return ReadFdLine(0);
        }
        DWORD mode = 0;
        const bool console = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
        std::optional<std::string> line = ReadSecretFdLine(0);
        if (console) {
            std::cerr << '\n';
        }
        return line;
    }
};

}  // namespace

std::optional<std::string> ReadSecretFdLine(int fd) {
    // Only standard input can be a console here.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (fd != 0 || GetConsoleMode(input, &mode) == 0) {
        return ReadFdLine(fd);
    }
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::optional<std::string> line = ReadFdLine(fd);
    SetConsoleMode(input, mode);
    return line;
}

ByteRead ReadFdByte(int fd, char& c) {
    return _read(fd, &c, 1) == 1 ? ByteRead::kByte : ByteRead::kEnd;
}

std::unique_ptr<Input> MakeTerminalInput() {
    return std::make_unique<TerminalInput>();
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
