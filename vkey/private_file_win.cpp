// The user's folders are private to the user on Windows; the file is written through a
// name of its own and replaced with MoveFileEx, which writes through to the disk.
#include <windows.h>

#include <random>

#include "vkey/private_file.h"

namespace kelvora::vkey {

PrivateRead ReadPrivateFile(const std::string& path, std::string& contents) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? PrivateRead::kMissing
                   : PrivateRead::kFailed;
    }
    contents.clear();
    char buffer[4096];
    DWORD n = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &n, nullptr) != 0) && n > 0) {
        contents.append(buffer, n);
    }
    CloseHandle(file);
    return ok ? PrivateRead::kRead : PrivateRead::kFailed;
}

bool WritePrivateFile(const std::string& path, const std::string& contents) {
    std::random_device random;
    const std::string temporary = path + "." + std::to_string(random()) + ".tmp";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                              nullptr) != 0 &&
                    written == contents.size() && FlushFileBuffers(file) != 0;
    CloseHandle(file);
    if (!ok || MoveFileExA(temporary.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kelvora::vkey
