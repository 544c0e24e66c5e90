#include <windows.h>

#include <string>

#include "platform/single_instance.h"

namespace kelvora {
namespace {

class MutexLock final : public SingleInstanceLock {
  public:
    explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}
    ~MutexLock() override { ::CloseHandle(mutex_); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    HANDLE mutex_;
};

}  // namespace

SingleInstanceResult AcquireSingleInstance(std::string_view name) {
    // The name is plain ASCII; no "Global\" prefix, so it lives in the session's name space.
    const std::wstring wide(name.begin(), name.end());
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, wide.c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        return {InstanceCheck::kUnavailable, nullptr};
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return {InstanceCheck::kAlreadyRunning, nullptr};
    }
    return {InstanceCheck::kFirst, std::make_unique<MutexLock>(mutex)};
}

}  // namespace kelvora
