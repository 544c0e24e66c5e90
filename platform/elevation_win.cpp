#include <windows.h>
// after windows.h, which they need
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "platform/command_line.h"
#include "platform/elevation.h"

namespace kelvora {
namespace {

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

// Empty when the path cannot be had; long paths are allowed for.
std::wstring OwnExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

class WindowsElevation final : public Elevation {
  public:
    bool KeysNeedElevation() override { return true; }

    bool IsElevated() override {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return false;
        }
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        const BOOL read =
            ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
        ::CloseHandle(token);
        return read && elevation.TokenIsElevated != 0;
    }

    ElevatedStart StartElevated(const std::vector<std::string>& arguments) override {
        const std::wstring executable = OwnExecutable();
        if (executable.empty()) {
            return ElevatedStart::kFailed;
        }
        const std::wstring parameters = FromUtf8(JoinCommandLine(arguments));
        // The shell may hand the verb to extensions that need COM on this thread.
        const HRESULT com =
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        // This process ends right after: the start must be complete when the call returns.
        info.fMask = SEE_MASK_NOASYNC;
        info.lpVerb = L"runas";
        info.lpFile = executable.c_str();
        info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        const BOOL started = ::ShellExecuteExW(&info);
        const DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
        if (SUCCEEDED(com)) {
            ::CoUninitialize();
        }
        if (started) {
            return ElevatedStart::kStarted;
        }
        return error == ERROR_CANCELLED ? ElevatedStart::kDeclined : ElevatedStart::kFailed;
    }
};

}  // namespace

Elevation& SystemElevation() {
    static WindowsElevation elevation;
    return elevation;
}

}  // namespace kelvora
