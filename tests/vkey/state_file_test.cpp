#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

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
    const std::string path = (dir / "key.state").string();
    State loaded;
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kMissing);
    ASSERT_TRUE(SaveStateFile(path, SampleState()));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kLoaded);
    EXPECT_EQ(loaded.templates.size(), 2U);
    std::ofstream(path, std::ios::trunc) << "garbage";
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kCorrupt);
    // A later save replaces the file (on every system).
    ASSERT_TRUE(SaveStateFile(path, SampleState()));
    EXPECT_EQ(LoadStateFile(path, loaded), LoadStatus::kLoaded);
    EXPECT_FALSE(SaveStateFile((dir / "missing" / "key.state").string(), SampleState()));
    std::filesystem::remove_all(dir);
}

TEST(DaemonOptions, ParsesAndRefuses) {
    std::string error;
    std::optional<DaemonOptions> options =
        ParseDaemonOptions({"--socket", "/tmp/s", "--model", "6", "--firmware", "18", "--pin",
                            "1234", "--auto-touch", "250", "--stranger", "--state", "/tmp/f"},
                           error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->config.model, 6);
    EXPECT_EQ(options->config.firmware, 18);
    EXPECT_EQ(options->pin, "1234");
    ASSERT_TRUE(options->autoTouch);
    EXPECT_EQ(options->autoTouch->delayMs, 250);
    EXPECT_TRUE(options->autoTouch->stranger);
    EXPECT_EQ(options->statePath, "/tmp/f");

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--model", "3"},
        {"--socket", "/s", "--model", "8"},
        {"--socket", "/s", "--model", "3x"},
        {"--socket", "/s", "--firmware", "256"},
        {"--socket", "/s", "--pin", "123"},
        {"--socket", "/s", "--stranger"},
        {"--socket", "/s", "--auto-touch"},
        {"--socket", "/s", "--colour", "blue"},
    };
    for (const auto& args : bad) {
        error.clear();
        EXPECT_FALSE(ParseDaemonOptions(args, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace kelvora::vkey
