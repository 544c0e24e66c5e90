#include "platform/access_denied_advice.h"

namespace kelvora {
namespace {

constexpr std::uint32_t kWarningOk = 0x30;        // OK with the warning icon
constexpr std::uint32_t kWarningOkCancel = 0x31;  // OK and Cancel with the warning icon

}  // namespace

AccessDeniedAdvice AdviceForUnopenableKey(Elevation& elevation) {
    if (!elevation.KeysNeedElevation()) {
        return {
            "Warning",
            "対応するセキュリティキーが見つかりましたが、開くことができません。\n"
            "このユーザーにはキーへのアクセス権がありません。\n"
            "packaging/70-kelvora-fido2.rules を /etc/udev/rules.d/ にコピーし、\n"
            "sudo udevadm control --reload && sudo udevadm trigger を実行してから、\n"
            "キーを挿し直してください。",
            kWarningOk,
            false,
        };
    }
    // With the rights already held, asking for them again would only repeat the failure.
    if (elevation.IsElevated()) {
        return {
            "Warning",
            "セキュリティキーを開くことができませんでした。\n"
            "他のプログラムがキーを使用している可能性があります。",
            kWarningOk,
            false,
        };
    }
    return {
        "Warning",
        "この操作には管理者権限が必要です。 このアプリケーションを管理者として実行してください。",
        kWarningOkCancel,
        true,
    };
}

std::string CommandLineAccessAdvice(Elevation& elevation) {
    if (!elevation.KeysNeedElevation()) {
        return "install packaging/70-kelvora-fido2.rules (see docs/cli.md)";
    }
    if (elevation.IsElevated()) {
        return "it may be in use by another program";
    }
    return "run the command from an elevated prompt (\"Run as administrator\")";
}

}  // namespace kelvora
