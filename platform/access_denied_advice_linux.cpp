#include "platform/access_denied_advice.h"

namespace kelvora {
namespace {

constexpr std::uint32_t kWarningOk = 0x30;  // OK with the warning icon

}  // namespace

AccessDeniedAdvice AdviceForUnopenableKey() {
    return {
        true,
        "Warning",
        "対応するセキュリティキーが見つかりましたが、開くことができません。\n"
        "このユーザーにはキーへのアクセス権がありません。\n"
        "packaging/70-kelvora-fido2.rules を /etc/udev/rules.d/ にコピーし、\n"
        "sudo udevadm control --reload && sudo udevadm trigger を実行してから、\n"
        "キーを挿し直してください。",
        kWarningOk,
    };
}

}  // namespace kelvora
