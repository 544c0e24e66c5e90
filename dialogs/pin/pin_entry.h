// What the PIN dialogs have in common about an entry: the length rules, the texts shown
// under the fields, and the PIN's UTF-8 form for the key.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string_view>

#include "ctap/input_rules.h"

namespace kelvora {

// Texts shown under the fields and in the message boxes.
namespace pin_text {
inline constexpr const char* kEnterPin = "PINを入力してください。";
inline constexpr const char* kTooShort = "PINは4文字以上で設定してください。";
inline constexpr const char* kTooLong = "PINは63文字以内で設定してください。";
inline constexpr const char* kNotInCodePage = "PINに使用できない文字が含まれています。";
inline constexpr const char* kMismatch = "PINが一致しません。";
inline constexpr const char* kVerifyFailed = "PIN認証に失敗しました。";
inline constexpr const char* kLocked = "デバイスはロックされました。";
inline constexpr const char* kSetSucceeded = "PINの設定に成功しました。";
inline constexpr const char* kSetFailed = "PINの設定に失敗しました。";
inline constexpr const char* kChangeSucceeded = "PINの変更に成功しました。";
inline constexpr const char* kChangeFailed = "PINの変更に失敗しました。";
}  // namespace pin_text

// The message for an entry that breaks the rules of ctap/input_rules.h for the key with
// `productId`, or an empty string when it is acceptable. A PIN too long in UTF-8 gets the
// text of one too long in characters: the person sees one limit, and nothing reaches the key.
QString PinLengthMessage(const QString& pin, std::uint16_t productId);

// "PIN認証に失敗しました。（リトライ回数：残り%d回）" with the count.
QString RetryText(long long retries);

// The PIN's UTF-8 bytes, wiped when they go.
class Utf8Pin {
  public:
    explicit Utf8Pin(const QString& pin) : bytes_(pin.toUtf8()) {}
    ~Utf8Pin();
    Utf8Pin(const Utf8Pin&) = delete;
    Utf8Pin& operator=(const Utf8Pin&) = delete;

    std::string_view view() const {
        return {bytes_.constData(), static_cast<std::size_t>(bytes_.size())};
    }

  private:
    QByteArray bytes_;
};

}  // namespace kelvora
