// The pictures and texts the enrollment and verification dialogs show per report.
#include <gtest/gtest.h>

#include "ctap/bio_status.h"
#include "dialogs/fingerprint/progress_views.h"
#include "transport/apdu.h"

namespace kelvora::test {
namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

TEST(EnrollViewTest, CtapReports) {
    struct Case {
        int remaining;
        int status;
        const char* image;
        const char* text;
    };
    const Case cases[] = {
        {3, kSampleGood, "Rec_Finger_1.png", "指紋センサーをタッチ（残り3回）"},
        {2, kSampleGood, "Rec_Finger_2.png", "指紋センサーをタッチ（残り2回）"},
        {1, kSampleGood, "Rec_Finger_3.png", "指紋センサーをタッチ（残り1回）"},
        {0, kSampleGood, "Rec_Finger_4.png", "指紋センサーをタッチ"},
        // A key that asks for more than four samples keeps the first picture (the skin has
        // none numbered below 1) and the tool's text for it until three remain.
        {5, kSampleGood, "Rec_Finger_1.png", "ユーザがタッチしていない"},
        {4, kSampleGood, "Rec_Finger_1.png", "ユーザがタッチしていない"},
        {5, kSampleNoUpTransition, "Rec_Finger_1.png",
         "ユーザーがセンサーから指を離しませんでした。"},
        {-1, kSampleGood, "Rec_Finger_4.png", "指紋センサーをタッチ"},
        // The sample's status wins over the count.
        {2, kSampleNoUserActivity, "Rec_Finger_Add.png", "ユーザがタッチしてはありません。"},
        {2, kSampleNoUpTransition, "Rec_Finger_2.png",
         "ユーザーがセンサーから指を離しませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remaining);
        const EnrollView view = CtapEnrollView(c.remaining, c.status);
        EXPECT_EQ(view.image, U(c.image));
        EXPECT_EQ(view.text, U(c.text));
        EXPECT_FALSE(view.keepText);
        EXPECT_TRUE(view.clearHint);
    }
}

TEST(EnrollViewTest, LegacyReports) {
    struct Case {
        int accepted;
        std::uint16_t status;
        const char* image;   // "" leaves the picture
        const char* text;    // nullptr keeps the text
        bool first = false;  // the sequence's first report
    };
    const Case cases[] = {
        {1, kSwSuccess, "Rec_Finger_1.png", nullptr},
        {4, kSwSuccess, "Rec_Finger_4.png", nullptr},
        {1, kSwFingerNotLifted, "", "ユーザーがセンサーから指を離しませんでした。"},
        // The sequence's first report: nobody has touched the sensor yet.
        {0, kSwFingerNotLifted, "", "指紋センサーをタッチ", true},
        // Later, before the first sample: a finger already lay on the sensor.
        {0, kSwFingerNotLifted, "", "ユーザーがセンサーから指を離しませんでした。"},
        {2, kSwFingerNotVerified, "", "メモリが足りません。"},
        {0, kSwNoFingerOnSensor, "", "指紋センサーをタッチ"},
        {1, kSwNoFingerOnSensor, "", "指紋センサーをタッチ（残り3回）"},
        {2, kSwNoFingerOnSensor, "", "指紋センサーをタッチ（残り2回）"},
        {3, kSwNoFingerOnSensor, "", "指紋センサーをタッチ（残り1回）"},
        {4, kSwNoFingerOnSensor, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.accepted << " " << std::hex << c.status);
        const EnrollView view = LegacyEnrollView(c.accepted, c.status, c.first);
        EXPECT_EQ(view.image, U(c.image));
        EXPECT_EQ(view.keepText, c.text == nullptr);
        if (c.text != nullptr) {
            EXPECT_EQ(view.text, U(c.text));
        }
        EXPECT_EQ(view.clearHint, c.status == kSwSuccess);
    }
}

TEST(EnrollViewTest, ResultShowsPassOnlyOnSuccess) {
    // The verdict is the one the main window acts on: success by the family whose sequence
    // ran, so that "登録完了" never shows for a finger the list is not updated for.
    constexpr auto kBio = EnrollmentFamily::kBio;
    constexpr auto kLegacy = EnrollmentFamily::kLegacy;
    struct Case {
        EnrollmentFamily family;
        std::uint16_t result;
        bool stored;
        const char* image;
        const char* text;
    };
    const Case cases[] = {
        {kBio, 0, true, "Pass.png", "登録完了"},
        {kLegacy, kSwSuccess, false, "Pass.png", "登録完了"},
        {kLegacy, 0, false, "Fail.png", "指紋の登録に失敗しました。"},  // a status word 00 00
        {kBio, kSwSuccess, false, "Fail.png", "指紋の登録に失敗しました。"},
        {kBio, kCtapUserActionTimeout, false, "Fail.png", "指紋の登録に失敗しました。"},
        {kLegacy, 0x6A84, false, "Fail.png", "指紋の登録に失敗しました。"},
        // A refused naming step: the finger is enrolled all the same.
        {kBio, kCtapKeyStoreFull, true, "Pass.png", "登録完了（名前を付けられませんでした）"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        const EnrollView view =
            EnrollDoneView(VerdictOf(c.family, {SequenceEnd::kFinished, c.result, c.stored}));
        EXPECT_EQ(view.image, U(c.image));
        EXPECT_EQ(view.text, U(c.text));
    }
    EXPECT_EQ(VerdictOf(kBio, {SequenceEnd::kCancelled, 0, true}), EnrollmentVerdict::kNotEnrolled);
}

TEST(VerdictViewTest, CtapVerdicts) {
    struct Case {
        std::uint16_t status;
        std::optional<int> detail;
        const char* image;
        const char* text;
        bool verified;
        bool asksDetail;
    };
    const Case cases[] = {
        {0x00, 0, "Pass.png", "検証に成功しました。", true, false},
        {kCtapPinAuthInvalid, 0, "Pass.png", "検証に成功しました。", true, false},
        {kCtapPinNotSet, 0, "Pass.png", "検証に成功しました。", true, false},
        {kCtapUserActionTimeout, 2, "Fail.png", "指紋認証に失敗しました。（リトライ回数：残り2回）",
         false, true},
        {kCtapKeyStoreFull, 0, "Fail.png", "デバイスはロックされました。", false, true},
        {kCtapKeyStoreFull, std::nullopt, "Fail.png", "もう一度やり直してください。", false, true},
        // A key error or a transport failure is no verdict.
        {0x2E, 1, "Rec_Finger_Add.png", "指紋センサーをタッチしてください。", false, false},
        {0xFFFB, 1, "Rec_Finger_Add.png", "指紋センサーをタッチしてください。", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        bool asked = false;
        const VerdictView view = CtapVerdictView(c.status, [&] {
            asked = true;
            return c.detail;
        });
        EXPECT_EQ(view.image, U(c.image));
        EXPECT_EQ(view.text, U(c.text));
        EXPECT_EQ(view.verified, c.verified);
        EXPECT_EQ(asked, c.asksDetail) << "the key is asked only after a mismatch";
    }
}

TEST(VerdictViewTest, LegacyVerdicts) {
    EXPECT_TRUE(LegacyVerdictView(kSwSuccess).verified);
    EXPECT_EQ(LegacyVerdictView(kSwFingerNotVerified).text, U("もう一度やり直してください。"));
    EXPECT_EQ(LegacyVerdictView(0x6985).image, U("Rec_Finger_Add.png"));
    EXPECT_FALSE(LegacyVerdictView(0x6985).verified);
}

}  // namespace
}  // namespace kelvora::test
