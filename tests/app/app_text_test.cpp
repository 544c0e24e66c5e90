// What the fingerprint list shows for each stored-name form, enrolment times in a fixed
// zone, the demo options, and which notification paths concern a supported key.

#include <gtest/gtest.h>

#include "app/app_options.h"
#include "app/device_path_match.h"
#include "app/enroll_time.h"
#include "app/fingerprint_list.h"

namespace kelvora::test {
namespace {

const QTimeZone kNineHoursEast(9 * 3600);

TEST(FingerprintRowTexts, EachStoredNameForm) {
    struct Case {
        QString stored;
        QString name;
        QString time;
    };
    const Case cases[] = {
        // Made by enrolment: the UTC stamp, shown in local time.
        {QStringLiteral("20190612083000指紋1"), QStringLiteral("指紋1"),
         QStringLiteral("2019/06/12 17:30:00")},
        // A day and a year roll over with the offset.
        {QStringLiteral("20191231200000x"), QStringLiteral("x"),
         QStringLiteral("2020/01/01 05:00:00")},
        // Renamed without a stamp.
        {QStringLiteral("-----------abc"), QStringLiteral("abc"), QStringLiteral("-")},
        {QStringLiteral("-----------"), QString(), QStringLiteral("-")},
        // Given by another tool.
        {QStringLiteral("Fingerprint 12345"), QStringLiteral("Fingerprint 12345"),
         QStringLiteral("-")},
        // Short names show whole.
        {QStringLiteral("右手の親指"), QStringLiteral("右手の親指"), QStringLiteral("-")},
        {QString(), QString(), QStringLiteral("-")},
        {QStringLiteral("-----"), QStringLiteral("-----"), QStringLiteral("-")},
        // Fourteen characters that are no stamp read as year 0: the name still loses them.
        {QStringLiteral("abcdefghijklmnxyz"), QStringLiteral("xyz"), QStringLiteral("-")},
        {QStringLiteral("19690101000000old"), QStringLiteral("old"), QStringLiteral("-")},
        // Out-of-range fields carry over as a calendar does.
        {QStringLiteral("20190230000000y"), QStringLiteral("y"),
         QStringLiteral("2019/03/02 09:00:00")},
        {QStringLiteral("30010101000000far"), QStringLiteral("far"), QStringLiteral("-")},
    };
    for (const Case& c : cases) {
        const FingerprintRowTexts texts = FingerprintRowTextsFor(c.stored, kNineHoursEast);
        EXPECT_EQ(texts.name, c.name) << c.stored.toStdString();
        EXPECT_EQ(texts.time, c.time) << c.stored.toStdString();
    }
}

TEST(FingerprintRowTexts, NamesAreCutAt259Units) {
    const QString longName = QStringLiteral("-----------") + QString(300, QLatin1Char('a'));
    EXPECT_EQ(FingerprintRowTextsFor(longName, kNineHoursEast).name.size(), 259);
}

// The stamp is UTC: zones with daylight saving time and half-hour offsets show the true
// local time of the enrolment, not one shifted by the zone's offset at another date.
TEST(FormatEnrollTime, ShowsTheTrueLocalTimeInEveryZone) {
    const QTimeZone berlin("Europe/Berlin");
    const QTimeZone kolkata("Asia/Kolkata");
#ifdef _WIN32
    if (!berlin.isValid() || !kolkata.isValid()) {
        // Wine's registry has no zone rules for Qt's Windows time-zone backend.
        GTEST_SKIP() << "the system has no rules for these time zones";
    }
#endif
    ASSERT_TRUE(berlin.isValid() && kolkata.isValid());
    EXPECT_EQ(FormatEnrollTime("20190612083000", berlin), QStringLiteral("2019/06/12 10:30:00"));
    EXPECT_EQ(FormatEnrollTime("20190112083000", berlin), QStringLiteral("2019/01/12 09:30:00"));
    EXPECT_EQ(FormatEnrollTime("20190612083000", kolkata), QStringLiteral("2019/06/12 14:00:00"));
    EXPECT_EQ(FormatEnrollTime("2019061208300", kNineHoursEast), QString());  // too short
}

TEST(UtcOffsetHours, WholeHoursAtTheEpochWithinMinus11AndPlus12) {
    EXPECT_EQ(UtcOffsetHours(kNineHoursEast), 9);
    EXPECT_EQ(UtcOffsetHours(QTimeZone(-5 * 3600)), -5);
    EXPECT_EQ(UtcOffsetHours(QTimeZone(12 * 3600)), 12);
    EXPECT_EQ(UtcOffsetHours(QTimeZone(0)), 0);
}

TEST(AppOptions, DemoOptionsAndTheResetOption) {
    struct Case {
        std::vector<std::string> arguments;
        bool ok;
        bool reset;
        std::optional<int> model;
        std::optional<std::string> folder;
        bool help = false;
        bool version = false;
        std::optional<std::string> file = {};
    };
    const Case cases[] = {
        {{}, true, false, {}, {}},
        {{"-e", "--virtual", "1"}, true, true, 1, {}},
        {{"--virtual", "7", "ignored"}, true, false, 7, {}},
        {{"--screenshots", "out"}, true, false, 3, "out"},
        {{"--virtual", "2", "--screenshots", "out", "-E"}, true, true, 2, "out"},
        {{"--virtual"}, false, false, {}, {}},
        {{"--virtual", "8"}, false, false, {}, {}},
        {{"--virtual", "0"}, false, false, {}, {}},
        {{"--virtual", "3x"}, false, false, {}, {}},
        {{"--screenshots", ""}, false, false, {}, {}},
        {{"--screenshot", "a.png"}, true, false, 3, {}, false, false, "a.png"},
        {{"--virtual", "5", "--screenshot", "a.png"}, true, false, 5, {}, false, false, "a.png"},
        {{"--screenshot", ""}, false, false, {}, {}},
        {{"--help"}, true, false, {}, {}, true},
        {{"-E", "--version", "--virtual", "4"}, true, true, 4, {}, false, true},
        {{"--virtual", "--help"}, false, false, {}, {}},  // the model is missing
    };
    for (const Case& c : cases) {
        AppOptions options;
        std::string error;
        const bool ok = ParseAppOptions(c.arguments, options, error);
        EXPECT_EQ(ok, c.ok) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(error.empty(), c.ok) << ::testing::PrintToString(c.arguments);
        if (ok) {
            EXPECT_EQ(options.resetAtStart, c.reset);
            EXPECT_EQ(options.virtualModel, c.model);
            EXPECT_EQ(options.screenshotDir, c.folder);
            EXPECT_EQ(options.showHelp, c.help);
            EXPECT_EQ(options.showVersion, c.version);
            EXPECT_EQ(options.screenshotFile, c.file);
        }
    }
}

TEST(DevicePathMatch, UpperCaseProductDigitsAnywhere) {
    struct Case {
        const wchar_t* path;
        bool matches;
    };
    const Case cases[] = {
        {L"\\\\?\\USB#VID_4B56&PID_2B03#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", true},
        {L"/dev/hidraw0#vid_4b56&pid_1A01", true},
        {L"/dev/hidraw0#vid_4b56&pid_2B07", true},
        // Another maker's device carrying the digits counts too.
        {L"\\\\?\\USB#VID_1234&PID_2B05#serial", true},
        {L"/dev/hidraw0#vid_4b56&pid_2b03", false},  // lower case
        {L"/dev/hidraw0#vid_4b56&pid_2B08", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathNamesSupportedProduct(c.path), c.matches);
    }
}

}  // namespace
}  // namespace kelvora::test
