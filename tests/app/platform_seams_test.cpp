// The start-up seams: the "-E" option, the single-instance lock, and the interface paths
// device notifications report on Linux.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/command_line.h"
#include "platform/hidraw_path.h"
#include "platform/single_instance.h"
#include "transport/default_hid_backend.h"
#include "transport/hid_device_info.h"

namespace kelvora::test {
namespace {

TEST(ResetOption, OnlyAWholeDashEInEitherCaseCounts) {
    struct Case {
        std::vector<std::string> arguments;
        bool reset;
    };
    const Case cases[] = {
        {{"-E"}, true},   {{"-e"}, true},  {{"-E", "-E"}, true}, {{"other", "-e", "more"}, true},
        {{}, false},      {{"/E"}, false}, {{"E"}, false},       {{"--E"}, false},
        {{"-Ex"}, false}, {{"-"}, false},  {{""}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasResetOption(c.arguments), c.reset) << ::testing::PrintToString(c.arguments);
    }
}

TEST(ResetOption, ArgumentsStartAfterTheProgramName) {
    char program[] = "-E";  // a program that happens to be called so sets nothing
    char option[] = "-e";
    char* argv[] = {program, option, nullptr};
#ifdef _WIN32
    // The process's own wide command line, split by the shell's rules, whatever argv says.
    std::vector<std::string> own = ::testing::internal::GetArgvs();
    own.erase(own.begin());
    EXPECT_EQ(ProgramArguments(2, argv), own);
#else
    EXPECT_EQ(ProgramArguments(1, argv), std::vector<std::string>{});
    EXPECT_EQ(ProgramArguments(2, argv), std::vector<std::string>{"-e"});
#endif
}

// What the tool hands the copy it starts with administrator rights: the shell's rules must
// split it back into the same arguments.
TEST(CommandLine, ArgumentsJoinedForANewStartSplitBackAsTheyWere) {
    const struct {
        std::vector<std::string> arguments;
        std::string line;
    } cases[] = {
        {{}, ""},
        {{"-E", "--virtual", "3"}, "-E --virtual 3"},
        {{"two words", ""}, R"("two words" "")"},
        {{R"(C:\dir\)", R"(C:\my dir\)"}, R"(C:\dir\ "C:\my dir\\")"},
        {{R"(say "hi")", R"(a\"b)"}, R"("say \"hi\"" "a\\\"b")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinCommandLine(c.arguments), c.line) << ::testing::PrintToString(c.arguments);
    }
}

// The Linux notification path must be the one discovery gives the same node, so that the
// product test and the identity agree.
TEST(HidrawInterfacePath, CarriesTheDiscoveryIdentityOfTheHidParent) {
    struct Case {
        const char* devpath;
        std::string expected;
    };
    const std::string node = "/dev/hidraw3";
    const Case cases[] = {
        {"/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:4B56:2B03.0007/hidraw/hidraw3",
         node + "#" + InterfaceIdentity(0x4B56, 0x2B03)},
        {"/devices/virtual/misc/uhid/0003:4B56:1A01.0001/hidraw/hidraw3",
         node + "#" + InterfaceIdentity(0x4B56, 0x1A01)},
        {"/devices/x/0003:4b56:2b07.000a/hidraw/hidraw3",
         node + "#" + InterfaceIdentity(0x4B56, 0x2B07)},
        {"/devices/x/0003:1050:0407.0002/hidraw/hidraw3",
         node + "#" + InterfaceIdentity(0x1050, 0x0407)},
        {"/devices/x/not-a-hid-device/hidraw/hidraw3", node},
        {"/devices/x/0003:4B56:2B0G.0007/hidraw/hidraw3", node},
        {"", node},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HidrawInterfacePath(node, c.devpath), c.expected) << c.devpath;
    }
}

TEST(SingleInstance, TheSecondHolderIsToldAndTheLockDiesWithItsOwner) {
    const std::string name = "kelvora-test-instance-" +
                             std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    SingleInstanceResult first = AcquireSingleInstance(name);
    ASSERT_EQ(first.check, InstanceCheck::kFirst);
    ASSERT_NE(first.lock, nullptr);
    const SingleInstanceResult second = AcquireSingleInstance(name);
    EXPECT_EQ(second.check, InstanceCheck::kAlreadyRunning);
    EXPECT_EQ(second.lock, nullptr);
    first.lock.reset();
    const SingleInstanceResult third = AcquireSingleInstance(name);
    EXPECT_EQ(third.check, InstanceCheck::kFirst);
}

#ifdef _WIN32
// SetupAPI discovery on a machine without a key (the test machines, Wine): nothing listed,
// nothing reported as wrong.
TEST(SystemDiscovery, WithoutAKeyListsNothing) {
    if (std::getenv("KELVORA_RIG_PRODUCTS") != nullptr) {
        GTEST_SKIP() << "the HID rig's keys are present (rig_hid_test.cpp)";
    }
    std::string error;
    const std::unique_ptr<HidBackend> system = MakeDefaultHidBackend(error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_TRUE(system->Enumerate().empty());
}
#endif

}  // namespace
}  // namespace kelvora::test
