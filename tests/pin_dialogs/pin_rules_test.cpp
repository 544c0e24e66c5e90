// The pieces under the dialogs: length rules in UTF-16 units and UTF-8 bytes, which device
// changes close a
// dialog, and a watchdog that stops at once with its dialog.
#include <gtest/gtest.h>

#include <chrono>

#include "dialogs/pin/device_removal.h"
#include "dialogs/pin/device_watchdog.h"
#include "dialogs/pin/pin_entry.h"
#include "transport/device_ids.h"

namespace kelvora::test {
namespace {

TEST(PinRules, LengthsCountUtf16UnitsAndEachFamilyItsOwnLimit) {
    const QString emoji = QString::fromUtf8("😀");   // two UTF-16 units, four UTF-8 bytes
    const QString kanji = QString::fromUtf8("漢");  // one unit, three bytes
    const QString umlaut = QString::fromUtf8("ü");  // not in code page 932
    struct Case {
        QString pin;
        const char* ctap2;   // nullptr: accepted
        const char* legacy;  // the 63-byte block is CTAP2's; legacy PINs need an ANSI form
    };
    const Case cases[] = {
        {QString(), pin_text::kEnterPin, pin_text::kEnterPin},
        {QStringLiteral("123"), pin_text::kTooShort, pin_text::kTooShort},
        {QStringLiteral("1") + emoji, pin_text::kTooShort, pin_text::kTooShort},
        {QStringLiteral("12") + emoji, nullptr, pin_text::kNotInCodePage},
        {QString::fromUtf8("ピン１２"), nullptr, nullptr},
        {QString(63, QLatin1Char('a')), nullptr, nullptr},
        {QString(64, QLatin1Char('a')), pin_text::kTooLong, pin_text::kTooLong},
        {QString(59, QLatin1Char('a')) + emoji, nullptr, pin_text::kNotInCodePage},
        {QString(61, QLatin1Char('a')) + emoji, pin_text::kTooLong, pin_text::kNotInCodePage},
        {QString(62, QLatin1Char('a')) + emoji, pin_text::kTooLong, pin_text::kTooLong},
        {kanji.repeated(21), nullptr, nullptr},
        {kanji.repeated(22), pin_text::kTooLong, nullptr},
        {kanji.repeated(63), pin_text::kTooLong, nullptr},
        {umlaut.repeated(4), nullptr, pin_text::kNotInCodePage},
        {QStringLiteral("????"), nullptr, nullptr},
    };
    for (const Case& c : cases) {
        for (const auto& [productId, message] :
             {std::pair{kSupportedProducts[kLegacyModelCount], c.ctap2},
              std::pair{kSupportedProducts[0], c.legacy}}) {
            EXPECT_EQ(PinLengthMessage(c.pin, productId),
                      message == nullptr ? QString() : QString::fromUtf8(message))
                << c.pin.size() << " units, product " << productId;
        }
    }
    EXPECT_EQ(RetryText(7), QString::fromUtf8("PIN認証に失敗しました。（リトライ回数：残り7回）"));
}

TEST(PinRules, OnlyTheRemovalOfAWatchedModelCloses) {
    struct Case {
        WPARAM event;
        int deviceType;
        const wchar_t* path;
        bool closes;
    };
    const Case cases[] = {
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"\\\\?\\USB#VID_4B56&PID_2B03#1",
         true},
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"/dev/hidraw3#vid_4b56&pid_1A01",
         true},
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"x#pid_2B05", true},
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"x#pid_2b03", false},  // case
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"x#pid_2B06", false},  // 6th
        {kDbtDeviceRemoveComplete, kDbtDevtypDeviceInterface, L"x#pid_2B07", false},
        {kDbtDeviceRemoveComplete, 3, L"x#pid_2B03", false},  // not an interface record
        {kDbtDeviceArrival, kDbtDevtypDeviceInterface, L"x#pid_2B03", false},
    };
    for (const Case& c : cases) {
        const DeviceBroadcast record{c.deviceType, c.path};
        EXPECT_EQ(IsWatchedKeyRemoval(c.event, &record), c.closes)
            << std::wstring(c.path).size() << " " << c.event;
    }
    EXPECT_FALSE(IsWatchedKeyRemoval(kDbtDeviceRemoveComplete, nullptr));
}

TEST(DeviceWatchdog, StopEndsARealTimePauseAtOnce) {
    std::atomic<bool> absent{false};
    DeviceWatchdog watchdog;
    const auto start = std::chrono::steady_clock::now();
    watchdog.Start(absent, WindowHandle{}, 60'000, CloseDelivery::kSend, RealTimePacer());
    EXPECT_TRUE(watchdog.Running());
    watchdog.Stop();
    EXPECT_FALSE(watchdog.Running());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(watchdog.ExitCode(), 0);
    watchdog.Stop();  // twice is harmless
}

}  // namespace
}  // namespace kelvora::test
