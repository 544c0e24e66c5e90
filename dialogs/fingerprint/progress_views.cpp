#include "dialogs/fingerprint/progress_views.h"

#include <algorithm>

#include "ctap/bio_status.h"
#include "ctap/legacy_bio.h"
#include "ctap/verification_test.h"
#include "transport/apdu.h"

namespace kelvora {

namespace {
// A CTAP2 key asks for four samples; the picture counts the samples taken. The skin has
// pictures 1 to 4 only: a key that asks for more keeps the first one until three remain.
constexpr int kCtapPictureBase = 4;
constexpr int kFirstPicture = 1;
constexpr int kLastPicture = 4;

const char* const kFingerNotLifted = "ユーザーがセンサーから指を離しませんでした。";
const char* const kTouchBare = "指紋センサーをタッチ";
const char* const kTouchThreeLeft = "指紋センサーをタッチ（残り3回）";
const char* const kTouchTwoLeft = "指紋センサーをタッチ（残り2回）";
const char* const kTouchOneLeft = "指紋センサーをタッチ（残り1回）";

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

QString FingerPicture(int number) {
    return QStringLiteral("Rec_Finger_%1.png").arg(number);
}

// The touch prompt for `left` samples still to give; empty beyond three.
const char* TouchPrompt(int left) {
    switch (left) {
        case 3:
            return kTouchThreeLeft;
        case 2:
            return kTouchTwoLeft;
        case 1:
            return kTouchOneLeft;
        default:
            return left <= 0 ? kTouchBare : nullptr;
    }
}
}  // namespace

EnrollView CtapEnrollView(int remainingSamples, int lastSampleStatus) {
    EnrollView view;
    view.clearHint = true;
    view.image =
        FingerPicture(std::clamp(kCtapPictureBase - remainingSamples, kFirstPicture, kLastPicture));
    if (lastSampleStatus == kSampleNoUserActivity) {
        view.text = Utf8("ユーザがタッチしてはありません。");
        view.image = Utf8(fp_image::kAddFinger);
    } else if (lastSampleStatus == kSampleNoUpTransition) {
        view.text = Utf8(kFingerNotLifted);
    } else if (const char* prompt = TouchPrompt(remainingSamples)) {
        view.text = Utf8(prompt);
    } else {
        // More than three still wanted: the tool's fixed text for it, even though the key
        // took the sample (only the picture was mended, the skin having none below 1).
        view.text = Utf8("ユーザがタッチしていない");
    }
    return view;
}

EnrollView LegacyEnrollView(int acceptedSamples, std::uint16_t statusWord, bool firstReport) {
    EnrollView view;
    if (statusWord == kSwSuccess) {
        view.clearHint = true;
        view.image = FingerPicture(acceptedSamples);
        view.keepText = true;
    } else if (statusWord == kSwFingerNotLifted && !firstReport) {
        // Later reports mean it: a finger that lay on the sensor before the first sample
        // must be lifted as much as one left there after a sample.
        view.text = Utf8(kFingerNotLifted);
    } else if (statusWord == kSwFingerNotVerified) {
        view.text = Utf8("メモリが足りません。");
    } else {
        // The samples accepted so far count the prompt down from four.
        const char* prompt = nullptr;
        if (acceptedSamples <= 0) {
            prompt = kTouchBare;
        } else if (acceptedSamples < kLegacySamplesPerEnrollment) {
            prompt = TouchPrompt(kLegacySamplesPerEnrollment - acceptedSamples);
        }
        view.text = prompt == nullptr ? QString() : Utf8(prompt);
    }
    return view;
}

EnrollView EnrollDoneView(EnrollmentVerdict verdict) {
    EnrollView view;
    switch (verdict) {
        case EnrollmentVerdict::kEnrolled:
            view.image = Utf8(fp_image::kPass);
            view.text = Utf8(fp_text::kEnrolled);
            break;
        case EnrollmentVerdict::kEnrolledWithoutName:
            // The finger is on the key and will be listed; only its default name is missing.
            view.image = Utf8(fp_image::kPass);
            view.text = Utf8(fp_text::kEnrolledWithoutName);
            break;
        case EnrollmentVerdict::kNotEnrolled:
            view.image = Utf8(fp_image::kFail);
            view.text = Utf8(fp_text::kEnrollFailed);
            break;
    }
    return view;
}

VerdictView CtapVerdictView(std::uint16_t status,
                            const std::function<std::optional<int>()>& readFailureDetail) {
    const Verdict verdict =
        status > 0xFF ? Verdict::kNoVerdict : CtapVerdict(static_cast<std::uint8_t>(status));
    if (verdict == Verdict::kVerified) {
        return {Utf8(fp_image::kPass), Utf8(fp_text::kVerified), true};
    }
    if (verdict == Verdict::kNoVerdict) {
        return {Utf8(fp_image::kAddFinger), Utf8(fp_text::kTouchPrompt), false};
    }
    const std::optional<int> left = readFailureDetail ? readFailureDetail() : std::nullopt;
    if (!left) {
        return {Utf8(fp_image::kFail), Utf8(fp_text::kTryAgain), false};
    }
    if (*left <= 0) {
        return {Utf8(fp_image::kFail), Utf8(fp_text::kLocked), false};
    }
    return {Utf8(fp_image::kFail),
            QString::fromUtf8("指紋認証に失敗しました。（リトライ回数：残り%1回）").arg(*left),
            false};
}

VerdictView LegacyVerdictView(std::uint16_t statusWord) {
    switch (LegacyVerdict(statusWord)) {
        case Verdict::kVerified:
            return {Utf8(fp_image::kPass), Utf8(fp_text::kVerified), true};
        case Verdict::kNotVerified:
            return {Utf8(fp_image::kFail), Utf8(fp_text::kTryAgain), false};
        case Verdict::kNoVerdict:
            break;
    }
    return {Utf8(fp_image::kAddFinger), Utf8(fp_text::kTouchPrompt), false};
}

}  // namespace kelvora
