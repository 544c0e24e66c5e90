// The real program: the in-process virtual key, its state file between runs, PINs on stdin.
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using ::testing::HasSubstr;

struct Result {
    int exit = -1;
    std::string out;
};

// Runs the program with `arguments`, feeding `input` (printf format) to its standard input.
Result RunBinary(const std::string& arguments, const std::string& input = "") {
    const std::string command = "printf '" + input + "' | " + KELVORA_CLI_BINARY + " " +
                                arguments + " 2>/dev/null";
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
    const auto state = std::filesystem::temp_directory_path() /
                       ("kelvora-cli-test-" + std::to_string(::getpid()));
    std::filesystem::remove(state);
    const std::string key = "--virtual 4 --state " + state.string();

    EXPECT_EQ(RunBinary(key + " --pin-stdin pin set", "1234\\n").exit, 0);
    Result wrong = RunBinary(key + " --json --pin 9999 pin verify");
    EXPECT_EQ(wrong.exit, 5);
    EXPECT_THAT(wrong.out, HasSubstr(R"("code":"wrong-pin")"));
    EXPECT_EQ(RunBinary(key + " --pin 1234 pin verify").exit, 0);
    std::filesystem::remove(state);
}

TEST(BinaryTest, UsageErrorsAndHelp) {
    EXPECT_EQ(RunBinary("--virtual 9 info").exit, 2);
    EXPECT_EQ(RunBinary("--frob").exit, 2);
    Result help = RunBinary("fingerprints enroll --help");
    EXPECT_EQ(help.exit, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: kelvora-fido2 fingerprints enroll"));
}

}  // namespace
