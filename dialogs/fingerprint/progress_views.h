// What the enrollment and verification dialogs show for each report of their worker: the
// picture of "image_show" and the text of "txt_show". Kept apart from the windows so the
// tables read in one place.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "ctap/enrollment.h"

namespace kelvora {

namespace fp_text {
inline constexpr const char* kTouchPrompt = "指紋センサーをタッチしてください。";
inline constexpr const char* kEnrolled = "登録完了";
inline constexpr const char* kEnrolledWithoutName = "登録完了（名前を付けられませんでした）";
inline constexpr const char* kEnrollFailed = "指紋の登録に失敗しました。";
inline constexpr const char* kCancelling = "Cancel...";
inline constexpr const char* kVerified = "検証に成功しました。";
inline constexpr const char* kTryAgain = "もう一度やり直してください。";
inline constexpr const char* kLocked = "デバイスはロックされました。";
inline constexpr const char* kResetDone = "リセット完了";
inline constexpr const char* kResetFailed = "デバイスのリセットに失敗しました。";
}  // namespace fp_text

namespace fp_image {
inline constexpr const char* kAddFinger = "Rec_Finger_Add.png";
inline constexpr const char* kPass = "Pass.png";
inline constexpr const char* kFail = "Fail.png";
}  // namespace fp_image

// One update of the enrollment dialog. An empty `text` with keepText leaves "txt_show" as it
// is; an empty `image` leaves the picture.
struct EnrollView {
    QString image;
    QString text;
    bool keepText = false;
    bool clearHint = false;  // empty "text_2"
};

// A CTAP2 key's report: samples still wanted and the last sample's status.
EnrollView CtapEnrollView(int remainingSamples, int lastSampleStatus);
// A legacy model's report: samples accepted so far and the poll's status word. The
// sequence's first report carries "finger not lifted" before anyone touched the sensor.
EnrollView LegacyEnrollView(int acceptedSamples, std::uint16_t statusWord, bool firstReport);
// The enrollment's verdict, shown until the dialog closes.
EnrollView EnrollDoneView(EnrollmentVerdict verdict);

struct VerdictView {
    QString image;
    QString text;
    bool verified = false;
};

// A CTAP2 key's verdict. `readFailureDetail` is asked only for a not-verified verdict: the
// attempts left, or nullopt when the key gives none.
VerdictView CtapVerdictView(std::uint16_t status,
                            const std::function<std::optional<int>()>& readFailureDetail);
VerdictView LegacyVerdictView(std::uint16_t statusWord);

}  // namespace kelvora
