#include "dialogs/pin/pin_entry.h"

#include <mbedtls/platform_util.h>

namespace kelvora {

QString PinLengthMessage(const QString& pin) {
    const Utf8Pin utf8(pin);
    switch (CheckPinLength(static_cast<std::size_t>(pin.size()), utf8.view().size())) {
        case PinLengthVerdict::kAccepted:
            return {};
        case PinLengthVerdict::kEmpty:
            return QString::fromUtf8(pin_text::kEnterPin);
        case PinLengthVerdict::kTooShort:
            return QString::fromUtf8(pin_text::kTooShort);
        case PinLengthVerdict::kTooLong:
        case PinLengthVerdict::kTooManyBytes:
            return QString::fromUtf8(pin_text::kTooLong);
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
