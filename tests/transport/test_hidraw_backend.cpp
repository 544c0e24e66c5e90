// The Linux backend against a fake sysfs tree, with socket pairs standing in for device
// nodes, and the report descriptor parser it relies on.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/common/fakes.h"
#include "tests/common/replay_backend.h"
#include "transport/device_ids.h"
#include "transport/hid_report_descriptor.h"
#include "transport/hid_transport.h"
#include "transport/hidraw_backend.h"

namespace kelvora::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// The report descriptor of a FIDO key: usage page 0xF1D0, 64-byte input and output reports.
const Bytes kFidoDescriptor =
    Hex("06 D0 F1 09 01 A1 01 09 20 15 00 26 FF 00 75 08 95 40 81 02"
        "09 21 15 00 26 FF 00 75 08 95 40 91 02 C0");

// Stand-in nodes: the opener hands out the test's end of a socket pair, or refuses.
std::map<std::string, int>& StandIns() {
    static std::map<std::string, int> standIns;
    return standIns;
}

int OpenStandIn(const char* path, int /*flags*/) {
    const auto found = StandIns().find(path);
    if (found == StandIns().end()) {
        errno = ENOENT;
        return -1;
    }
    if (found->second < 0) {
        errno = -found->second;
        return -1;
    }
    return ::dup(found->second);
}

class HidrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kelvora-hidraw-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "dev");
    }
    void TearDown() override {
        for (auto& entry : StandIns()) {
            if (entry.second >= 0) {
                ::close(entry.second);
            }
        }
        StandIns().clear();
        for (const int fd : peers_) {
            ::close(fd);
        }
        fs::remove_all(root_);
    }

    // Adds hidrawN with its sysfs entry and a device node; returns the node path.
    std::string AddNode(int number, const std::string& uevent, const Bytes& descriptor) {
        const std::string name = "hidraw" + std::to_string(number);
        const fs::path device = root_ / "sys" / "class" / "hidraw" / name / "device";
        fs::create_directories(device);
        std::ofstream(device / "uevent") << uevent;
        std::ofstream(device / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()),
                   static_cast<std::streamsize>(descriptor.size()));
        const fs::path node = root_ / "dev" / name;
        std::ofstream(node) << "";
        return node.string();
    }

    // Makes `node` open as one end of a packet socket pair; returns the key's end.
    int Connect(const std::string& node) {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
        StandIns()[node] = fds[0];
        peers_.push_back(fds[1]);
        return fds[1];
    }

    HidrawBackend Backend() { return HidrawBackend(root_ / "sys", root_ / "dev", OpenStandIn); }

    static std::string Uevent(const std::string& id, const std::string& name) {
        return "DRIVER=hid-generic\nHID_ID=" + id + "\nHID_NAME=" + name +
               "\nHID_PHYS=usb-0000:00:14.0-1/input0\n";
    }

    fs::path root_;
    std::vector<int> peers_;
};

TEST_F(HidrawTest, DescribesInterfacesFromSysfsInNodeOrder) {
    AddNode(10, Uevent("0003:00004B56:00002B03", "Maker Key"), kFidoDescriptor);
    AddNode(2, Uevent("0003:0000046D:0000C52B", "Mouse"), Hex("05 01 09 02 A1 01 C0"));
    AddNode(3, "HID_ID=garbage\n", kFidoDescriptor);  // unreadable identity: skipped
    AddNode(4, Uevent("0003:00004B56:00001A01", "Legacy"), kFidoDescriptor);
    fs::remove(root_ / "dev" / "hidraw4");  // node gone: skipped

    HidrawBackend backend = Backend();
    const auto interfaces = backend.Enumerate();
    ASSERT_EQ(interfaces.size(), 2U);
    EXPECT_EQ(interfaces[0].productId, 0xC52B);
    const HidInterfaceInfo& key = interfaces[1];
    EXPECT_EQ(key.path, (root_ / "dev" / "hidraw10").string() + "#vid_4b56&pid_2B03");
    EXPECT_EQ(key.vendorId, 0x4B56);
    EXPECT_EQ(key.productId, 0x2B03);
    EXPECT_EQ(key.productName, "Maker Key");
    EXPECT_EQ(key.reportLengths.input, 65);
    EXPECT_EQ(key.reportLengths.output, 65);
}

TEST_F(HidrawTest, UnopenableNodeSetsAccessDeniedThroughDiscovery) {
    const std::string denied = AddNode(0, Uevent("0003:00004B56:00002B03", "Key"), kFidoDescriptor);
    StandIns()[denied] = -EACCES;
    const std::string vanished =
        AddNode(1, Uevent("0003:00004B56:00002B04", "Key"), kFidoDescriptor);
    StandIns()[vanished] = -ENOENT;

    HidrawBackend backend = Backend();
    KeyState state;
    FakeClock clock;
    CapturedDebugOutput debug;
    HidTransport transport(backend, state, clock, debug);
    EXPECT_EQ(transport.EnumerateDevices(), 0U);
    EXPECT_TRUE(state.deviceAccessDenied);
}

TEST_F(HidrawTest, ExchangesReportsOverTheNode) {
    const std::string node = AddNode(0, Uevent("0003:00004B56:00002B03", "Key"), kFidoDescriptor);
    const int keyEnd = Connect(node);
    HidrawBackend backend = Backend();
    const auto interfaces = backend.Enumerate();
    ASSERT_EQ(interfaces.size(), 1U);
    HidOpenResult opened = backend.Open(interfaces[0]);
    ASSERT_TRUE(opened.connection);
    HidConnection& connection = *opened.connection;

    // Stale input is flushed; the next read gets the fresh packet with a report id byte.
    const Bytes stale(64, 0x55);
    ASSERT_EQ(::write(keyEnd, stale.data(), stale.size()), 64);
    connection.FlushInput();
    Bytes packet(64);
    packet[0] = 0xAB;
    packet[63] = 0xCD;
    ASSERT_EQ(::write(keyEnd, packet.data(), packet.size()), 64);
    Bytes report(65, 0xEE);
    HidIoResult read = connection.Read(report);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, 65U);
    EXPECT_EQ(report[0], 0x00);
    EXPECT_EQ(report[1], 0xAB);
    EXPECT_EQ(report[64], 0xCD);

    // A short report leaves nothing of the previous one behind it.
    const Bytes shortPacket(10, 0x22);
    ASSERT_EQ(::write(keyEnd, shortPacket.data(), shortPacket.size()), 10);
    read = connection.Read(report);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, 11U);
    EXPECT_EQ(report[10], 0x22);
    EXPECT_EQ(report[11], 0x00);
    EXPECT_EQ(report[64], 0x00);

    // Writes go out whole, report id included, as hidraw expects.
    Bytes out(65, 0x11);
    out[0] = 0;
    const HidIoResult written = connection.Write(out);
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.bytes, 65U);
    Bytes received(100);
    EXPECT_EQ(::read(keyEnd, received.data(), received.size()), 65);

    HidReportLengths lengths;
    ASSERT_TRUE(connection.ReportLengths(lengths));
    EXPECT_EQ(lengths.input, 65);

    // The key goes away: reads fail instead of blocking.
    ::shutdown(keyEnd, SHUT_RDWR);
    EXPECT_FALSE(connection.Read(report).ok);
    connection.Close();
    EXPECT_FALSE(connection.Write(out).ok);
    EXPECT_FALSE(connection.ReportLengths(lengths));
}

struct DescriptorCase {
    const char* name;
    Bytes descriptor;
    std::uint16_t input;
    std::uint16_t output;
};

class ReportDescriptorTest : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(ReportDescriptorTest, ReportLengths) {
    const DescriptorCase& c = GetParam();
    const HidReportLengths lengths = ParseReportLengths(c.descriptor);
    EXPECT_EQ(lengths.input, c.input);
    EXPECT_EQ(lengths.output, c.output);
}

INSTANTIATE_TEST_SUITE_P(
    Descriptors, ReportDescriptorTest,
    ::testing::Values(
        DescriptorCase{"Fido", kFidoDescriptor, 65, 65}, DescriptorCase{"Empty", {}, 0, 0},
        DescriptorCase{"InputOnly", Hex("75 08 95 08 81 02"), 9, 0},
        // Bits add up within a report and round up to whole bytes.
        DescriptorCase{"Bits", Hex("75 01 95 03 81 02 75 01 95 05 81 01 75 04 95 01 91 02"), 2, 2},
        // Numbered reports: the longest one counts.
        DescriptorCase{"ReportIds", Hex("85 01 75 08 95 04 81 02 85 02 75 08 95 10 81 02 91 02"),
                       17, 17},
        // Push and Pop restore the size and count.
        DescriptorCase{"PushPop", Hex("75 08 95 02 A4 95 20 81 02 B4 81 02"), 35, 0},
        // A 4-byte item and a long item are stepped over.
        DescriptorCase{"ItemSizes", Hex("27 FF FF 00 00 FE 02 10 AA BB 75 08 95 40 81 02"), 65, 0},
        DescriptorCase{"Truncated", Hex("75 08 95"), 0, 0},
        DescriptorCase{"TruncatedLongItem", Hex("75 08 95 40 81 02 FE 05 10 AA"), 0, 0},
        DescriptorCase{"PopWithoutPush", Hex("B4 75 08 95 40 81 02"), 0, 0},
        DescriptorCase{"Huge", Hex("77 FF FF FF FF 97 FF FF FF FF 81 02"), 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvora::test
