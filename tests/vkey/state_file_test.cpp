#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "vkey/daemon_options.h"
#include "vkey/state_file.h"

namespace kelvora::vkey {
namespace {

State SampleState() {
    State state;
    state.pinHash = Bytes(16, 0xAB);
    state.pinRetries = 5;
    state.fingerprintRetries = 2;
    state.templates[0] = Template{"", 7};
    state.templates[12] = Template{
        "20210102030405\x8e\x77\x96\xe4"
        "12",
        1001};
    state.passkeys.push_back(StoredPasskey{Bytes{1, 2}, "a.example", "", Bytes{'u'}, "ann",
                                           "Ann \x01", Bytes(32, 7), 41});
    return state;
}

TEST(StateFile, RoundTripsEverythingButHistory) {
    State state = SampleState();
    state.history.push_back(HistoryEntry{1, Bytes{4}, 0});
    State parsed;
    ASSERT_TRUE(ParseState(SerializeState(state), parsed));
    EXPECT_EQ(parsed.pinHash, state.pinHash);
    EXPECT_EQ(parsed.pinRetries, 5);
    EXPECT_EQ(parsed.fingerprintRetries, 2);
    ASSERT_EQ(parsed.templates.size(), 2U);
    EXPECT_EQ(parsed.templates[12].name, state.templates[12].name);
    EXPECT_EQ(parsed.templates[12].finger, 1001);
    ASSERT_EQ(parsed.passkeys.size(), 1U);
    EXPECT_EQ(SerializeState(parsed), SerializeState(state));
    EXPECT_EQ(parsed.passkeys[0].signCount, 41U);
    EXPECT_TRUE(parsed.history.empty());
}

TEST(StateFile, CorruptTextIsRefusedAndLeavesTheStateAlone) {
    const std::string good = SerializeState(SampleState());
    const std::string rows[] = {
        "",
        "kelvora-vkey-state 2\npin -\n",
        "kelvora-vkey-state 1\n",           // no pin line
        "kelvora-vkey-state 1\npin abc\n",  // odd hex
        "kelvora-vkey-state 1\npin 00\n",   // wrong hash size
        "kelvora-vkey-state 1\npin -\npin-retries 900\n",
        "kelvora-vkey-state 1\npin -\ntemplate 1 1 -\ntemplate 1 2 -\n",  // slot twice
        "kelvora-vkey-state 1\npin -\ntemplate 70000 1 -\n",
        "kelvora-vkey-state 1\npin -\ncolour blue\n",
        "kelvora-vkey-state 1\npin - extra\n",
        // passkeys: a short private key, an empty credential id, an id twice, a count
        // beyond 32 bits
        "kelvora-vkey-state 1\npin -\npasskey 01 61 - 75 - - 0707 0\n",
        "kelvora-vkey-state 1\npin -\npasskey - 61 - 75 - - " + std::string(64, '7') + " 0\n",
        "kelvora-vkey-state 1\npin -\npasskey 01 61 - 75 - - " + std::string(64, '7') +
            " 0\npasskey 01 62 - 75 - - " + std::string(64, '7') + " 0\n",
        "kelvora-vkey-state 1\npin -\npasskey 01 61 - 75 - - " + std::string(64, '7') +
            " 4294967296\n",
        good.substr(0, good.size() / 2) + "zz\n",
    };
    for (const std::string& row : rows) {
        State state = SampleState();
        EXPECT_FALSE(ParseState(row, state)) << row;
        EXPECT_EQ(state.templates.size(), 2U);
    }
}

TEST(StateFile, SavesAtomicallyAndReportsMissingAndCorruptFiles) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("vkey-state-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    // Paths are UTF-8 on every system: the file has the Japanese name it was given.
    const std::filesystem::path named = dir / u8"鍵.state";
    const std::u8string utf8 = named.u8string();
    const std::string path(utf8.begin(), utf8.end());
    State loaded;
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kMissing);
    ASSERT_TRUE(SaveStateFile(path, SampleState()));
    EXPECT_TRUE(std::filesystem::exists(named));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1)
        << "no temporary file is left behind";
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kLoaded);
    EXPECT_EQ(loaded.templates.size(), 2U);
    std::ofstream(named, std::ios::trunc) << "garbage";
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kCorrupt);
    // A later save replaces the file (on every system).
    ASSERT_TRUE(SaveStateFile(path, SampleState()));
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kLoaded);
    EXPECT_FALSE(SaveStateFile((dir / "missing" / "key.state").string(), SampleState()));
    std::filesystem::remove_all(dir);
}

TEST(StateFile, IsPrivateNeverFollowsALinkAndIsRefusedWhenOthersCanWriteIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps a user's folders private; no modes or links to check";
#endif
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        ("vkey-private-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    const std::string path = (dir / "key.state").string();
    const std::string victim = (dir / "victim").string();
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, path + ".tmp");  // the temporary name of old
    fs::create_symlink(victim, path);
    ASSERT_TRUE(SaveStateFile(path, SampleState()));
    EXPECT_EQ(fs::file_size(victim), 8U);
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    State loaded;
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kLoaded);
    fs::permissions(path, fs::perms::group_write, fs::perm_options::add);
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kUnsafe);
    EXPECT_EQ(LoadStateFile(path + ".tmp", loaded), LoadStatus::kUnsafe);
    fs::remove_all(dir);
}

TEST(DaemonOptions, ParsesAndRefuses) {
    std::string error;
    std::optional<DaemonOptions> options = ParseDaemonOptions(
        {"--socket", "/tmp/s", "--model", "6", "--firmware", "18", "--pin-file", "-",
         "--auto-touch", "250", "--stranger", "--state", "/tmp/f", "--passkeys", "50", "--ctap21"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->config.model, 6);
    EXPECT_EQ(options->config.firmware, 18);
    EXPECT_EQ(options->pinFile, "-");
    ASSERT_TRUE(options->autoTouch);
    EXPECT_EQ(options->autoTouch->delayMs, 250);
    EXPECT_TRUE(options->autoTouch->stranger);
    EXPECT_EQ(options->statePath, "/tmp/f");
    EXPECT_EQ(options->passkeys, 50U);
    EXPECT_TRUE(options->config.reportsCtap21);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--model", "3"},
        {"--socket", "/s", "--model", "8"},
        {"--socket", "/s", "--model", "3x"},
        {"--socket", "/s", "--firmware", "256"},
        {"--socket", "/s", "--pin", "1234"},  // a PIN in argv is for every user to read
        {"--socket", "/s", "--stranger"},
        {"--socket", "/s", "--auto-touch"},
        {"--socket", "/s", "--colour", "blue"},
        {"--socket", "/s", "--passkeys", "26"},  // beyond model 3's capacity
        {"--socket", "/s", "--model", "1", "--passkeys", "1"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(ParseDaemonOptions(args, error));
        EXPECT_FALSE(error.empty());
    }
    // Without --socket, a place of the user's own; never a guess in a shared folder.
    EXPECT_EQ(DefaultSocketPath("/run/user/1000"), "/run/user/1000/kelvora-vkey.sock");
    EXPECT_EQ(DefaultSocketPath(nullptr), "");
    EXPECT_EQ(DefaultSocketPath("relative"), "");
    options = ParseDaemonOptions({"--model", "3"}, error, DefaultSocketPath("/run/user/7"));
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->socketPath, "/run/user/7/kelvora-vkey.sock");
    for (const auto& [text, pin] : std::vector<std::pair<std::string, std::string>>{
             {"1234\n", "1234"}, {"abcd\r\nrest", "abcd"}, {"123\n", ""}, {"", ""}}) {
        std::istringstream in(text);
        std::string read;
        EXPECT_EQ(ReadDaemonPin(in, read, error), !pin.empty()) << text;
        EXPECT_EQ(pin.empty() ? "" : read, pin);
    }
}

}  // namespace
}  // namespace kelvora::vkey
