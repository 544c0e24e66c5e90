#include "dialogs/pin/pin_entry.h"

#include <mbedtls/platform_util.h>

namespace kelvora {

QString PinLengthMessage(const QString& pin, std::uint16_t productId) {
    const Utf8Pin utf8(pin);
    switch (CheckPinForKey(utf8.view(), productId)) {
        case PinLengthVerdict::kAccepted:
            return {};
        case PinLengthVerdict::kEmpty:
            return QString::fromUtf8(pin_text::kEnterPin);
        case PinLengthVerdict::kTooShort:
            return QString::fromUtf8(pin_text::kTooShort);
        case PinLengthVerdict::kTooLong:
        case PinLengthVerdict::kTooManyBytes:
            return QString::fromUtf8(pin_text::kTooLong);
        case PinLengthVerdict::kNotInCodePage:
            return QString::fromUtf8(pin_text::kNotInCodePage);
    }
    return {};
}

QString RetryText(long long retries) {
    return QString::fromUtf8("PIN認証に失敗しました。（リトライ回数：残り%1回）").arg(retries);
}

Utf8Pin::~Utf8Pin() {
    if (!bytes_.isEmpty()) {
        mbedtls_platform_zeroize(bytes_.data(), static_cast<std::size_t>(bytes_.size()));
    }
}

}  // namespace kelvora
