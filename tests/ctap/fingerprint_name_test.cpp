// Default names made at enrollment and the split of a stored name into its hidden prefix
// and the name the user sees, by bytes (rename) and by UTF-16 characters (the list).
#include <gmock/gmock.h>

#include <chrono>
#include <string>

#include "ctap/fingerprint_name.h"

namespace kelvora {
namespace {

using namespace std::chrono;

sys_seconds Utc(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

TEST(DefaultFingerprintNameTest, IsUtcStampFingerprintWordAndSlot) {
    const std::string slot12 = DefaultFingerprintName(Utc(2021, 1, 2, 3, 4, 5), 12);
    EXPECT_EQ(slot12,
              "20210102030405\x8E\x77\x96\xE4"
              "12");
    EXPECT_EQ(slot12.size(), 20U);

    const std::string slot3 = DefaultFingerprintName(Utc(2019, 4, 15, 12, 30, 45), 3);
    EXPECT_EQ(slot3,
              "20190415123045\x8E\x77\x96\xE4"
              "3");
    EXPECT_EQ(slot3.size(), 19U);
}

TEST(DefaultFingerprintNameTest, StampIgnoresFractionsAndHandlesDayBoundaries) {
    EXPECT_EQ(EnrollmentTimeStamp(Utc(1999, 12, 31, 23, 59, 59) + milliseconds{999}),
              "19991231235959");
    EXPECT_EQ(EnrollmentTimeStamp(Utc(2024, 2, 29, 0, 0, 0)), "20240229000000");
}

struct SplitCase {
    std::string name;
    std::string prefix;
    std::string visible;
};

class SplitStoredNameTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStoredNameTest, KeepsThePrefixAndShowsTheRest) {
    const SplitCase& c = GetParam();
    const StoredNameParts parts = SplitStoredName(c.name);
    EXPECT_EQ(parts.prefix, c.prefix);
    EXPECT_EQ(parts.visible, c.visible);
    EXPECT_EQ(RenamedFingerprintName(c.name, "new"), c.prefix + "new");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SplitStoredNameTest,
    ::testing::Values(
        SplitCase{"20190415123045\x8E\x77\x96\xE4"
                  "3",
                  "20190415123045",
                  "\x8E\x77\x96\xE4"
                  "3"},
        SplitCase{"-----------abc", "-----------", "abc"},
        SplitCase{"-----------", "-----------", ""}, SplitCase{"short", "-----------", "short"},
        SplitCase{"Fingerprint number one", "-----------", "Fingerprint number one"},
        // Fourteen bytes of anything count as a stamp when they are not one of the above.
        SplitCase{"abcdefghijklmnxyz", "abcdefghijklmn", "xyz"}, SplitCase{"", "-----------", ""}));

struct DisplayCase {
    std::u16string name;
    std::u16string visible;
    std::u16string stamp;
};

class SplitDisplayNameTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(SplitDisplayNameTest, CountsCharactersNotBytes) {
    const DisplayCase& c = GetParam();
    const DisplayNameParts parts = SplitDisplayName(c.name);
    EXPECT_EQ(parts.visible, c.visible);
    EXPECT_EQ(parts.stamp, c.stamp);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SplitDisplayNameTest,
    ::testing::Values(DisplayCase{u"20190612083000指紋1", u"指紋1", u"20190612083000"},
                      DisplayCase{u"-----------abc", u"abc", u""},
                      DisplayCase{u"-----------", u"", u""},
                      // Short in characters although 16 bytes in code page 932.
                      DisplayCase{u"指紋指紋指紋指紋", u"指紋指紋指紋指紋", u""},
                      DisplayCase{u"Fingerprint 14 chars", u"Fingerprint 14 chars", u""},
                      DisplayCase{u"abcdefghijklmnxyz", u"xyz", u"abcdefghijklmn"},
                      // Full-width hyphens are not the ASCII prefix.
                      DisplayCase{u"－－－－－－－－－－－abcdef", u"def",
                                  u"－－－－－－－－－－－abc"}));

}  // namespace
}  // namespace kelvora
