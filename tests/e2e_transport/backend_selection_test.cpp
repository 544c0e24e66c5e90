// KELVORA_VKEY parsing and the backend made from it; the composite backend's routing.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "transport/composite_hid_backend.h"
#include "transport/default_hid_backend.h"
#include "transport/device_ids.h"
#include "transport/vkey_socket_setting.h"

namespace kelvora {
namespace {

struct SettingCase {
    const char* text;
    std::optional<std::string> path;  // nullopt: must be refused
    int model;
    const char* errorMentions;
};

void PrintTo(const SettingCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class VkeySetting : public ::testing::TestWithParam<SettingCase> {};

TEST_P(VkeySetting, ParsesOrExplains) {
    const SettingCase& c = GetParam();
    VkeySocketSetting setting;
    setting.socketPath = "untouched";
    std::string error;
    const bool parsed = ParseVkeySocketSetting(c.text, setting, error);
    if (c.path) {
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(setting.socketPath, *c.path);
        EXPECT_EQ(setting.model, c.model);
        EXPECT_EQ(setting.productId(), kSupportedProducts[static_cast<std::size_t>(c.model - 1)]);
    } else {
        ASSERT_FALSE(parsed);
        EXPECT_EQ(setting.socketPath, "untouched") << "a refused setting changes nothing";
        EXPECT_NE(error.find("KELVORA_VKEY"), std::string::npos) << error;
        EXPECT_NE(error.find("PATH[:MODEL]"), std::string::npos) << error;
        EXPECT_NE(error.find(c.errorMentions), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, VkeySetting,
    ::testing::Values(SettingCase{"/tmp/vkey.sock", "/tmp/vkey.sock", 3, ""},
                      SettingCase{"/tmp/vkey.sock:1", "/tmp/vkey.sock", 1, ""},
                      SettingCase{"/tmp/vkey.sock:07", "/tmp/vkey.sock", 7, ""},
                      SettingCase{"/run/a:b/vkey.sock:6", "/run/a:b/vkey.sock", 6, ""},
                      SettingCase{"relative.sock", "relative.sock", 3, ""},
                      SettingCase{":3", std::nullopt, 0, "no socket path"},
                      SettingCase{"/tmp/vkey.sock:", std::nullopt, 0, "1 to 7"},
                      SettingCase{"/tmp/vkey.sock:0", std::nullopt, 0, "\"0\""},
                      SettingCase{"/tmp/vkey.sock:8", std::nullopt, 0, "\"8\""},
                      SettingCase{"/tmp/vkey.sock:-1", std::nullopt, 0, "\"-1\""},
                      SettingCase{"/tmp/vkey.sock:3x", std::nullopt, 0, "\"3x\""},
                      SettingCase{"/tmp/vkey.sock:99999999999999999999", std::nullopt, 0, "1 to 7"},
                      SettingCase{"/run/a:b/vkey.sock", std::nullopt, 0, "b/vkey.sock"}));

HidInterfaceInfo InterfaceAt(std::string path) {
    HidInterfaceInfo info;
    info.path = std::move(path);
    return info;
}

// A backend that lists fixed interfaces and records what it was asked to open.
class ListingBackend final : public HidBackend {
  public:
    explicit ListingBackend(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    std::vector<HidInterfaceInfo> Enumerate() override {
        std::vector<HidInterfaceInfo> listed;
        for (const std::string& path : paths_) {
            listed.push_back(InterfaceAt(path));
        }
        return listed;
    }
    HidOpenResult Open(const HidInterfaceInfo& info) override {
        opened.push_back(info.path);
        return {nullptr, HidOpenError::kAccessDenied};
    }
    std::vector<std::string> opened;

  private:
    std::vector<std::string> paths_;
};

TEST(CompositeHidBackend, ListsInBackendOrderAndOpensThroughTheLister) {
    auto first = std::make_unique<ListingBackend>(std::vector<std::string>{"a", "b"});
    auto second = std::make_unique<ListingBackend>(std::vector<std::string>{"c"});
    ListingBackend* firstRaw = first.get();
    ListingBackend* secondRaw = second.get();
    std::vector<std::unique_ptr<HidBackend>> backends;
    backends.push_back(std::move(first));
    backends.push_back(nullptr);
    backends.push_back(std::move(second));
    CompositeHidBackend composite(std::move(backends));

    const std::vector<HidInterfaceInfo> listed = composite.Enumerate();
    ASSERT_EQ(listed.size(), 3U);
    EXPECT_EQ(listed[0].path, "a");
    EXPECT_EQ(listed[2].path, "c");
    EXPECT_EQ(composite.Open(listed[2]).error, HidOpenError::kAccessDenied);
    EXPECT_EQ(composite.Open(listed[1]).error, HidOpenError::kAccessDenied);
    EXPECT_EQ(firstRaw->opened, std::vector<std::string>{"b"});
    EXPECT_EQ(secondRaw->opened, std::vector<std::string>{"c"});
    EXPECT_EQ(composite.Open(InterfaceAt("unlisted")).error, HidOpenError::kUnavailable);
}

TEST(MakeHidBackendForSetting, WithoutAUsableSettingTheSystemBackendAloneIsUsed) {
    struct Case {
        const char* setting;
        bool explained;
    };
    const std::string tooLong = "/" + std::string(200, 'x');
    for (const Case c : {Case{nullptr, false}, Case{"", false}, Case{"/tmp/s:9", true},
                         Case{tooLong.c_str(), true}}) {
        auto system = std::make_unique<ListingBackend>(std::vector<std::string>{"sys"});
        HidBackend* systemRaw = system.get();
        std::string error = "stale";
        const std::unique_ptr<HidBackend> made =
            MakeHidBackendForSetting(c.setting, std::move(system), error);
        EXPECT_EQ(made.get(), systemRaw) << (c.setting ? c.setting : "(null)");
        EXPECT_EQ(!error.empty(), c.explained) << error;
    }
}

TEST(MakeHidBackendForSetting, AbsentSocketListsOnlyTheSystemInterfaces) {
    std::string error;
    const std::unique_ptr<HidBackend> made = MakeHidBackendForSetting(
        "/nonexistent/kelvora-vkey.sock:2",
        std::make_unique<ListingBackend>(std::vector<std::string>{"sys"}), error);
#ifdef _WIN32
    EXPECT_NE(error.find("not supported on Windows"), std::string::npos) << error;
#else
    EXPECT_TRUE(error.empty()) << error;
#endif
    const std::vector<HidInterfaceInfo> listed = made->Enumerate();
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].path, "sys");
}

}  // namespace
}  // namespace kelvora
