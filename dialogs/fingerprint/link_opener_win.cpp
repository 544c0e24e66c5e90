#include <windows.h>

#include <shellapi.h>

#include <string>

#include "dialogs/fingerprint/link_opener.h"

namespace kelvora {

namespace {
// ShellExecuteW reports success with a value above 32.
constexpr INT_PTR kShellExecuteFirstSuccess = 33;

class ShellLinkOpener final : public LinkOpener {
  public:
    bool Open(const std::string& url) override {
        // The addresses are plain ASCII.
        const std::wstring wide(url.begin(), url.end());
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOW));
        return result >= kShellExecuteFirstSuccess;
    }
};
}  // namespace

LinkOpener& SystemLinkOpener() {
    static ShellLinkOpener opener;
    return opener;
}

}  // namespace kelvora
