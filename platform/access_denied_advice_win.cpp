#include <windows.h>

#include <cwchar>

#include "platform/access_denied_advice.h"

namespace kelvora {
namespace {

constexpr std::uint32_t kWarningOkCancel = 0x31;
constexpr DWORD kBranchBufferChars = 260;

// True only when the value could be read and is exactly "rs_prerelease"; any registry
// failure counts as not.
bool OnPrereleaseBuild() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                        KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t branch[kBranchBufferChars + 1] = {};
    DWORD type = 0;
    DWORD size = kBranchBufferChars * sizeof(wchar_t);
    const LONG status = ::RegQueryValueExW(key, L"BuildBranch", nullptr, &type,
                                           reinterpret_cast<BYTE*>(branch), &size);
    ::RegCloseKey(key);
    // The buffer holds one terminator more than the query may fill, so the comparison
    // always ends inside it.
    return status == ERROR_SUCCESS && type == REG_SZ && std::wcscmp(branch, L"rs_prerelease") == 0;
}

}  // namespace

AccessDeniedAdvice AdviceForUnopenableKey() {
    if (!OnPrereleaseBuild()) {
        return {};
    }
    return {
        true,
        "Warning",
        "この操作には管理者権限が必要です。 このアプリケーションを管理者として実行してください。",
        kWarningOkCancel,
    };
}

}  // namespace kelvora
