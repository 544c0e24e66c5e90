// Runs kelvora-fido2's commands in-process against virtual keys behind the real HID seam.
//
// The keys run on a manual clock and answer touches at once (auto-touch with no delay), so no
// test sleeps; the tool's own clock only moves when the tool sleeps, and a test can act at
// that moment (re-plug the key, press Ctrl-C).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "tests/common/fakes.h"
#include "tests/common/utc_time.h"
#include "vkey/clock.h"
#include "vkey/virtual_hid_backend.h"
#include "vkey/virtual_key.h"

namespace kelvora::cli::test {

// The PIN the tests set and give.
inline constexpr const char* kPin = "1234";

// The tool's clock. Every reading moves it on a little, so that a loop that polls without
// sleeping (the legacy verification) still reaches its time limit; sleeping moves the key's
// clock too, as real time would.
class HostClock final : public Clock {
  public:
    explicit HostClock(vkey::ManualClock& keyClock) : keyClock_(keyClock) {}
    std::uint64_t NowMs() override {
        if (advanceKeyClock) {
            keyClock_.Advance(1);
        }
        return now++;
    }
    void SleepMs(std::uint32_t milliseconds) override {
        now += milliseconds;
        if (advanceKeyClock) {
            keyClock_.Advance(milliseconds);
        }
        if (onSleep) {
            onSleep();
        }
    }
    // Read from the worker that sends a reset while the tool counts down.
    std::atomic<std::uint64_t> now{0};
    std::atomic<bool> advanceKeyClock{true};
    std::function<void()> onSleep;

  private:
    vkey::ManualClock& keyClock_;
};

class ScriptedInput final : public Input {
  public:
    std::optional<std::string> ReadLine(std::string_view prompt, bool secret) override {
        prompts.emplace_back(prompt);
        secrets.push_back(secret);
        if (lines.empty()) {
            return std::nullopt;
        }
        std::string line = lines.front();
        lines.pop_front();
        return line;
    }
    std::deque<std::string> lines;
    std::vector<std::string> prompts;
    std::vector<bool> secrets;
};

// Standard error that lets a test react to each line as it is flushed.
class WatchedBuffer final : public std::stringbuf {
  public:
    std::function<void(const std::string& text)> onFlush;

  protected:
    int sync() override {
        if (onFlush) {
            onFlush(str());
        }
        return 0;
    }
};

// The tool with its keys and streams, apart from any test fixture, so that a test can make a
// fresh one for each case of a loop.
class CliRig {
  public:
    vkey::VirtualKey& AddKey(int model = 3, vkey::State state = {}, bool unopenable = false) {
        vkey::Config config;
        config.model = model;
        return AddKey(config, std::move(state), unopenable);
    }
    // `path` as the system's backend would list it; empty for the virtual key's own.
    vkey::VirtualKey& AddKey(const vkey::Config& config, vkey::State state, bool unopenable = false,
                             std::string path = {}) {
        vkey::VirtualInterfaceOptions options;
        options.unopenable = unopenable;
        options.path = std::move(path);
        return AddKey(config, std::move(state), std::move(options));
    }
    vkey::VirtualKey& AddKey(const vkey::Config& config, vkey::State state,
                             vkey::VirtualInterfaceOptions options) {
        keys.push_back(std::make_unique<vkey::VirtualKey>(config, keyClock, std::move(state)));
        vkey::VirtualKey& key = *keys.back();
        key.SetAutoTouch(vkey::AutoTouch{0, false});
        backend.AddKey(key, std::move(options));
        key.Plug();
        return key;
    }

    // Runs the command line `args` (without the program name); PIN answers come from
    // `input.lines`.
    int Run(const std::vector<std::string>& args) {
        out.str("");
        errBuffer.str("");
        CliOptions options;
        const std::string parseError = ParseOptions(args, options);
        EXPECT_EQ(parseError, "");
        CliEnv env{.backend = backend,
                   .clock = clock,
                   .out = out,
                   .err = err,
                   .input = input,
                   .interrupted = interrupted,
                   .wallClock =
                       [] {
                           return std::chrono::sys_days(std::chrono::year(2024) / 5 / 6) +
                                  std::chrono::hours(7) + std::chrono::minutes(8);
                       },
                   .localTime = &kelvora::test::UtcTime,
                   .debug = debug,
                   .replugTimeoutMs = 60000,
                   .vkeySocket = vkeySocket,
                   .elevation = elevation};
        return RunCli(env, options);
    }

    std::string Err() const { return errBuffer.str(); }

    vkey::ManualClock keyClock{1000};
    std::vector<std::unique_ptr<vkey::VirtualKey>> keys;  // outlive the backend
    vkey::VirtualHidBackend backend;
    HostClock clock{keyClock};
    ScriptedInput input;
    std::ostringstream out;
    WatchedBuffer errBuffer;
    std::ostream err{&errBuffer};
    std::atomic<bool> interrupted{false};
    kelvora::test::NullDebugOutput debug;
    std::string vkeySocket;  // what KELVORA_VKEY names
    kelvora::test::FakeElevation elevation;
};

class CliTest : public ::testing::Test, public CliRig {
  protected:
    using CliRig::Run;
};

}  // namespace kelvora::cli::test
