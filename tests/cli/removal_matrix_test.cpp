// The key pulled out at every exchange of every command that talks to it: each command must
// return (no hang) with the no-key status and a message, leave no thread behind, leave the
// key's stored state as it was, and the re-plugged key must work at once.
//
// Each operation is run once to count its request messages; then, for each index, a fresh
// key with the same state is armed to vanish just before answering that message.
#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

#include "cli/exit_codes.h"
#include "cli_fixture.h"
#include "tests/common/wait.h"

namespace kelvora::cli::test {
namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;

// Generous for the sanitizer builds; a command that is not back by then hangs.
constexpr auto kCommandBound = std::chrono::seconds(60);

// The process's threads; 0 where the system shows no task list.
int ThreadCount() {
    std::error_code error;
    const std::filesystem::directory_iterator tasks("/proc/self/task", error);
    return error ? 0 : static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

// A joined thread can linger in the task list for a moment.
int SettledThreadCount(int expected) {
    (void)KELVORA_WAIT_UNTIL(ThreadCount() == expected);
    return ThreadCount();
}

struct Operation {
    std::string name;
    std::vector<int> models;
    std::vector<std::string> args;
    std::deque<std::string> answers;  // standard input: PINs, in order
    // Commands that bring a blank key to the state the operation starts from; each is
    // given the PIN when it asks.
    std::vector<std::vector<std::string>> setup;
    bool readsBack = false;  // see ExpectUnchanged
    // Sets the scene on every fresh key before the command runs.
    std::function<void(CliRig&, vkey::VirtualKey&)> arrange = nullptr;
};

class Bench {
  public:
    explicit Bench(int model, const vkey::State& state) {
        vkey::State fresh = state;
        fresh.history.clear();
        key_ = &rig_.AddKey(model, std::move(fresh));
        if (model == 1) {
            // A polled sensor needs time between touches to see the finger lifted.
            key_->SetAutoTouch(vkey::AutoTouch{300, false});
        }
    }

    vkey::VirtualKey& Key() { return *key_; }
    CliRig& Rig() { return rig_; }

    int Run(const std::vector<std::string>& args, const std::deque<std::string>& answers) {
        rig_.input.lines = answers;
        return rig_.Run(args);
    }

    // Runs on a thread of its own, so that a hang fails the case instead of the whole run.
    int RunBounded(const std::vector<std::string>& args, const std::deque<std::string>& answers) {
        rig_.input.lines = answers;
        std::promise<int> done;
        std::future<int> code = done.get_future();
        std::thread runner([&] { done.set_value(rig_.Run(args)); });
        if (code.wait_for(kCommandBound) != std::future_status::ready) {
            ADD_FAILURE() << "the command did not return after the key was removed";
            rig_.interrupted = true;
            key_->Unplug();
        }
        runner.join();
        return code.get();
    }

  private:
    CliRig rig_;
    vkey::VirtualKey* key_ = nullptr;
};

// A key plugged in too long ago refuses the reset; the user (these sleeps of the tool) pulls
// it out and back in, and the tool sends the reset again from a worker thread.
void ReplugWhenTheResetIsRefused(CliRig& rig, vkey::VirtualKey& key) {
    rig.keyClock.Advance(60000);
    rig.clock.onSleep = [&rig, &key, sleeps = 0]() mutable {
        ++sleeps;
        if (sleeps == 3) {
            key.Unplug();
        } else if (sleeps == 6) {
            key.Plug();
            rig.clock.advanceKeyClock = false;  // the key's reset window must stay open
        }
    };
}

vkey::State Prepare(int model, const Operation& operation) {
    Bench bench(model, {});
    for (const auto& command : operation.setup) {
        EXPECT_EQ(bench.Run(command, {kPin}), kExitOk) << bench.Rig().Err();
    }
    return bench.Key().SnapshotState();
}

// The stored state a removal must leave alone: the request the key was pulled out before never
// runs, and each operation's decisive request is its last, except where the tool reads the
// fingerprints back afterwards (`readsBack`): then the new template or name may be stored.
void ExpectUnchanged(const vkey::State& before, const vkey::State& after, bool readsBack) {
    EXPECT_EQ(after.pinHash, before.pinHash);
    EXPECT_EQ(after.pinRetries, before.pinRetries) << "a removal cost a PIN retry";
    EXPECT_EQ(after.fingerprintRetries, before.fingerprintRetries);
    const std::size_t added = after.templates.size() - before.templates.size();
    EXPECT_TRUE(added == 0 || (readsBack && added == 1)) << after.templates.size();
    for (const auto& [slot, stored] : before.templates) {
        ASSERT_EQ(after.templates.count(slot), 1U) << "slot " << slot;
        if (!readsBack) {
            EXPECT_EQ(after.templates.at(slot).name, stored.name) << "slot " << slot;
        }
    }
}

void RunMatrix(const std::vector<Operation>& operations) {
    // The thread sanitizer starts a helper thread with the process's first thread; let that
    // happen before threads are counted.
    std::thread([] {}).join();
    int cases = 0;
    for (const Operation& operation : operations) {
        for (const int model : operation.models) {
            SCOPED_TRACE(operation.name + " on model " + std::to_string(model));
            const vkey::State start = Prepare(model, operation);
            std::uint64_t exchanges = 0;
            {
                Bench bench(model, start);
                if (operation.arrange) {
                    operation.arrange(bench.Rig(), bench.Key());
                }
                const std::uint64_t before = bench.Key().requestCount();
                ASSERT_EQ(bench.Run(operation.args, operation.answers), kExitOk)
                    << bench.Rig().Err();
                exchanges = bench.Key().requestCount() - before;
            }
            ASSERT_GT(exchanges, 0U);
            for (std::uint64_t k = 0; k < exchanges; ++k) {
                SCOPED_TRACE("removed before exchange " + std::to_string(k) + " of " +
                             std::to_string(exchanges));
                Bench bench(model, start);
                if (operation.arrange) {
                    operation.arrange(bench.Rig(), bench.Key());
                }
                const int threads = ThreadCount();
                bench.Key().UnplugBeforeRequest(k);
                EXPECT_EQ(bench.RunBounded(operation.args, operation.answers), kExitNoKey)
                    << bench.Rig().Err();
                EXPECT_FALSE(bench.Key().plugged()) << "the trigger never fired";
                EXPECT_THAT(bench.Rig().Err(),
                            HasSubstr("kelvora-fido2: " /* a failure line, not a note */));
                EXPECT_THAT(bench.Rig().Err(), AnyOf(HasSubstr("removed"), HasSubstr("unplugged"),
                                                     HasSubstr("no supported key")));
                EXPECT_EQ(SettledThreadCount(threads), threads) << "a thread was left behind";
                ExpectUnchanged(start, bench.Key().SnapshotState(), operation.readsBack);

                bench.Rig().clock.onSleep = nullptr;
                bench.Key().Plug();
                EXPECT_EQ(bench.Run({"fingerprints", "list"}, {}), kExitOk) << bench.Rig().Err();
                ++cases;
            }
        }
    }
    ::testing::Test::RecordProperty("cases", cases);
}

const std::vector<std::string> kAddPin = {"--pin-stdin", "pin", "set"};
const std::vector<std::string> kEnrol = {"--fingerprint-only", "fingerprints", "enroll"};

TEST(RemovalMatrix, Info) {
    RunMatrix({{"info", {3, 1}, {"info"}, {}, {kAddPin, kEnrol}}});
}

TEST(RemovalMatrix, PinCommands) {
    RunMatrix({
        {"pin set", {3, 1}, kAddPin, {kPin}, {}},
        {"pin change", {3, 1}, {"--pin-stdin", "pin", "change"}, {kPin, "5678"}, {kAddPin}},
        {"pin verify", {3}, {"--pin-stdin", "pin", "verify"}, {kPin}, {kAddPin}},
    });
}

TEST(RemovalMatrix, FingerprintCommands) {
    RunMatrix({
        {"list", {3, 1}, {"fingerprints", "list"}, {}, {kEnrol, kEnrol}},
        {"enroll",
         {3},
         {"--pin-stdin", "--name", "Thumb", "fingerprints", "enroll"},
         {kPin},
         {kAddPin, kEnrol},
         true},
        {"enroll", {1}, kEnrol, {}, {kEnrol}, true},
        {"verify", {3, 1}, {"fingerprints", "verify"}, {}, {kEnrol}},
        {"rename",
         {3},
         {"--pin-stdin", "fingerprints", "rename", "0", "Index"},
         {kPin},
         {kAddPin, kEnrol},
         true},
        {"delete",
         {3, 1},
         {"--pin-stdin", "fingerprints", "delete", "1"},
         {kPin},
         {kAddPin, kEnrol, kEnrol}},
    });
}

TEST(RemovalMatrix, Reset) {
    RunMatrix({
        {"reset", {3, 1}, {"--yes", "reset"}, {}, {kAddPin, kEnrol}},
        {"reset after a re-plug",
         {3},
         {"--yes", "reset"},
         {},
         {kEnrol},
         false,
         ReplugWhenTheResetIsRefused},
    });
}

}  // namespace
}  // namespace kelvora::cli::test
