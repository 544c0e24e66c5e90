// The client's session through the socket backend against a kelvora-vkey daemon.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e_transport/exchanges.h"
#include "tests/common/fakes.h"
#include "tests/common/wait.h"
#include "transport/connect.h"
#include "transport/default_hid_backend.h"

namespace kelvora::test {
namespace {

constexpr int kExitSpawnFailed = 127;

// A daemon on a socket in a fresh temporary directory, stopped and reaped on every way out.
class Daemon {
  public:
    explicit Daemon(const std::vector<std::string>& options) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vkey-e2e-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
            return;
        }
        directory_ = pattern;
        socket_ = directory_ / "vkey.sock";
        std::vector<std::string> args = {KELVORA_VKEY_DAEMON, "--socket", socket_.string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        // The daemon shares the test's output; should the test die without stopping it, it
        // must not live on and keep the test runner waiting for the end of that output.
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) {
                _exit(kExitSpawnFailed);
            }
            execv(argv[0], argv.data());
            _exit(kExitSpawnFailed);
        }
        if (pid_ < 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return;
        }
        // The daemon renames its socket into place once it accepts connections.
        EXPECT_TRUE(KELVORA_WAIT_UNTIL(std::filesystem::exists(socket_)))
            << "the daemon did not come up";
    }
    ~Daemon() {
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    std::string socket() const { return socket_.string(); }

  private:
    std::filesystem::path directory_;
    std::filesystem::path socket_;
    pid_t pid_ = -1;
};

// The socket interface is listed before these; none of them is the maker's.
class NoSystemDevices final : public HidBackend {
  public:
    std::vector<HidInterfaceInfo> Enumerate() override { return {}; }
    HidOpenResult Open(const HidInterfaceInfo&) override {
        return {nullptr, HidOpenError::kUnavailable};
    }
};

std::unique_ptr<HidBackend> BackendFor(const std::string& setting) {
    std::string error;
    std::unique_ptr<HidBackend> backend =
        MakeHidBackendForSetting(setting.c_str(), std::make_unique<NoSystemDevices>(), error);
    EXPECT_TRUE(error.empty()) << error;
    return backend;
}

struct Session {
    explicit Session(const std::string& setting) : backend(BackendFor(setting)) {}
    std::unique_ptr<HidBackend> backend;
    FakeClock clock;
    CapturedDebugOutput debug;
    KeyState keyState;
    FidoDevice device{*backend, keyState, clock, debug};
};

TEST(VkeySocket, Ctap2KeyThroughTheDaemon) {
    Daemon daemon({"--model", "4", "--firmware", "18"});
    Session session(daemon.socket() + ":4");
    const ConnectResult result = ConnectDevice(session.device, session.clock);
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.productId, kSupportedProducts[3]);
    EXPECT_EQ(result.firmwareStatus, kSwSuccess);
    EXPECT_TRUE(session.keyState.vendorCommandSet);
    std::vector<std::uint8_t> info;
    ASSERT_EQ(GetInfo(session.device, info), kCtapSuccess);
    EXPECT_TRUE(LooksLikeGetInfo(info));

    // Enumerating again opens a second connection, which waits behind the one in use.
    EXPECT_EQ(session.device.EnumerateDevices(), 1U);
    ASSERT_EQ(GetInfo(session.device, info), kCtapSuccess);
}

TEST(VkeySocket, LegacyKeyVerifiesSecureMessagingThroughTheDaemon) {
    Daemon daemon({"--model", "1", "--firmware", "16"});
    Session session(daemon.socket() + ":1");
    const ConnectResult result = ConnectDevice(session.device, session.clock);
    ASSERT_TRUE(result.connected);
    EXPECT_FALSE(session.device.SecureMessagingAes());
    const SlotRead read = ReadSlots(session.device);
    EXPECT_EQ(read.status, kSwSuccess);
    EXPECT_EQ(read.length, kSlotBitmapSize);
    EXPECT_EQ(ReadSlots(session.device, /*spoilChallenge=*/true).status, kSwSecureMessagingError);
}

TEST(VkeySocket, DaemonGoingAwayEndsABlockedExchange) {
    Daemon daemon({});
    Session session(daemon.socket());
    ASSERT_TRUE(ConnectDevice(session.device, session.clock).connected);
    // enrollBegin with a 5 s time-out and nobody touching the sensor.
    const std::vector<std::uint8_t> waiting = {0x40, 0xA3, 0x01, 0x01, 0x02, 0x01,
                                               0x03, 0xA1, 0x03, 0x19, 0x13, 0x88};
    std::atomic<int> status{-1};
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        std::vector<std::uint8_t> response(kApduBufferSize);
        std::uint32_t length = static_cast<std::uint32_t>(response.size());
        status = session.device.SendCborCommand(
            waiting.data(), static_cast<std::int32_t>(waiting.size()), response.data(), &length);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    daemon.Stop();
    worker.join();
    EXPECT_EQ(status, kCtapTransportFailure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4))
        << "the exchange waited for the key's own time-out";
}

}  // namespace
}  // namespace kelvora::test
