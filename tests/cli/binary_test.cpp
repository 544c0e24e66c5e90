// The real program: the in-process virtual key, its state file between runs, PINs on stdin.
#include <gmock/gmock.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/common/wait.h"

namespace {

using ::testing::HasSubstr;

struct Result {
    int exit = -1;
    std::string out;
};

// Runs the program with `arguments`, feeding `input` (printf format) to its standard input.
Result RunBinary(const std::string& arguments, const std::string& input = "",
                 const std::string& environment = "") {
    const std::string command = "printf '" + input + "' | " + environment + KELVORA_CLI_BINARY +
                                " " + arguments + " 2>/dev/null";
    Result result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        result.out += buffer;
    }
    const int status = ::pclose(pipe);
    result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(BinaryTest, StateFileKeepsThePinBetweenRuns) {
    const auto state =
        std::filesystem::temp_directory_path() / ("kelvora-cli-test-" + std::to_string(::getpid()));
    std::filesystem::remove(state);
    const std::string key = "--virtual 4 --state " + state.string();

    EXPECT_EQ(RunBinary(key + " --pin-stdin pin set", "1234\\n").exit, 0);
    Result wrong = RunBinary(key + " --json --insecure-pin-argument --pin 9999 pin verify");
    EXPECT_EQ(wrong.exit, 5);
    EXPECT_THAT(wrong.out, HasSubstr(R"("code":"wrong-pin")"));
    EXPECT_EQ(RunBinary(key + " --insecure-pin-argument --pin=1234 pin verify").exit, 0);
    std::filesystem::remove(state);
}

TEST(BinaryTest, UsageErrorsAndHelp) {
    EXPECT_EQ(RunBinary("--virtual 9 info").exit, 2);
    EXPECT_EQ(RunBinary("--frob").exit, 2);
    Result help = RunBinary("fingerprints enroll --help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: kelvora-fido2 fingerprints enroll"));
    Result version = RunBinary("--version");
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out, "kelvora-fido2 " KELVORA_VERSION "\n");
}

// Runs the program with a terminal (a pseudo-terminal whose master end is returned) as its
// standard input; its output goes nowhere, so that what the master reads is the echo.
pid_t RunOnTerminal(const char* options, int& master) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        return -1;
    }
    const std::string slave = ::ptsname(master);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const int in = ::open(slave.c_str(), O_RDWR);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(in, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl("/bin/sh", "sh", "-c",
                (std::string("exec " KELVORA_CLI_BINARY " --virtual 3 ") + options).c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

bool EchoOn(int master) {
    termios settings{};
    return ::tcgetattr(master, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

// A PIN typed at a terminal is never shown, with the prompt or --pin-stdin, and the terminal
// gets its echo back when the program is ended while it waits for the PIN.
TEST(BinaryTest, PinsAtATerminalAreNotEchoedAndTheEchoComesBack) {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer holds an asynchronous signal back until the program leaves the read it
    // is blocked in, so the interrupted prompt never handles it: the case would only hang.
    GTEST_SKIP() << "signals are deferred under ThreadSanitizer";
#endif
    int master = -1;
    pid_t child = RunOnTerminal("--pin-stdin pin set", master);
    ASSERT_GT(child, 0);
    ASSERT_TRUE(KELVORA_WAIT_UNTIL(!EchoOn(master)));
    ASSERT_EQ(::write(master, "1234\n", 5), 5);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    char echoed[16];
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    EXPECT_LE(::read(master, echoed, sizeof echoed), 0) << "the PIN was echoed";
    ::close(master);

    for (const int signal : {SIGINT, SIGTERM}) {
        child = RunOnTerminal("pin set", master);
        ASSERT_GT(child, 0);
        ASSERT_TRUE(KELVORA_WAIT_UNTIL(!EchoOn(master)));
        ::kill(child, signal);
        ::waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 130) << signal;
        EXPECT_TRUE(EchoOn(master)) << signal;
        ::close(master);
    }
}

// KELVORA_VKEY naming a socket nobody listens on, missing or left behind by a daemon that
// has gone, is told as that, with the path.
TEST(BinaryTest, VirtualKeySocketWithoutADaemonIsNamed) {
    const auto socket = std::filesystem::temp_directory_path() /
                        ("kelvora-cli-nodaemon-" + std::to_string(::getpid()));
    std::filesystem::remove(socket);
    const std::string env = "KELVORA_VKEY=" + socket.string() + " ";
    for (const bool leftBehind : {false, true}) {
        if (leftBehind) {
            const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            socket.string().copy(address.sun_path, sizeof address.sun_path - 1);
            ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            ::close(fd);  // never listened: a connection is refused
        }
        const Result info = RunBinary("--json info", "", env);
        EXPECT_EQ(info.exit, 3) << leftBehind;
        EXPECT_THAT(info.out, HasSubstr("KELVORA_VKEY names " + socket.string() +
                                        ", but no virtual key daemon listens there"));
    }
    std::filesystem::remove(socket);
}

#ifdef KELVORA_VKEY_DAEMON
// The daemon serves a virtual key on a socket; the program finds it through KELVORA_VKEY.
TEST(BinaryTest, VirtualKeyDaemonThroughTheEnvironment) {
    const auto socket =
        std::filesystem::temp_directory_path() / ("kelvora-cli-vkey-" + std::to_string(::getpid()));
    std::filesystem::remove(socket);
    const std::string pinFile = socket.string() + ".pin";
    std::ofstream(pinFile) << "1234\n";
    const pid_t daemon = ::fork();
    ASSERT_GE(daemon, 0);
    if (daemon == 0) {
        ::execl(KELVORA_VKEY_DAEMON, KELVORA_VKEY_DAEMON, "--socket", socket.c_str(), "--model",
                "5", "--auto-touch", "1", "--pin-file", pinFile.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_TRUE(KELVORA_WAIT_UNTIL(std::filesystem::exists(socket)));
    EXPECT_EQ(std::filesystem::status(socket).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "only the daemon's user may connect";
    const std::string env = "KELVORA_VKEY=" + socket.string() + ":5 ";
    const Result info = RunBinary("--json info", "", env);
    EXPECT_EQ(info.exit, 0);
    EXPECT_THAT(info.out, HasSubstr(R"("model":5)"));
    EXPECT_THAT(info.out, HasSubstr(R"("pinSet":true)"));
    EXPECT_EQ(RunBinary("--pin-stdin fingerprints enroll --name Daemon", "1234\\n", env).exit, 0);
    const Result list = RunBinary("--json fingerprints list", "", env);
    EXPECT_THAT(list.out, HasSubstr(R"("name":"Daemon")"));
    EXPECT_EQ(RunBinary("--pin-stdin pin verify", "0000\\n", env).exit, 5);

    ::kill(daemon, SIGTERM);
    ::waitpid(daemon, nullptr, 0);
    std::filesystem::remove(socket);
    std::filesystem::remove(pinFile);
}
#endif

}  // namespace
