// The user's folders are private to the user on Windows; the file is written through a
// name of its own and replaced with MoveFileEx, which writes through to the disk. Paths are
// UTF-8, as the programs read their command lines: the ANSI functions would take the bytes
// of a folder named in Japanese for other characters.
#include <windows.h>

#include <optional>
#include <random>

#include "vkey/private_file.h"

namespace kelvora::vkey {
namespace {

std::optional<std::wstring> WidePath(const std::string& path) {
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                         static_cast<int>(path.size()), nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                        wide.data(), size);
    return wide;
}

}  // namespace

PrivateRead ReadPrivateFile(const std::string& path, std::string& contents) {
    const std::optional<std::wstring> wide = WidePath(path);
    if (!wide) {
        return PrivateRead::kFailed;
    }
    HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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
    const std::optional<std::wstring> target = WidePath(path);
    if (!target) {
        return false;
    }
    std::random_device random;
    const std::wstring temporary = *target + L"." + std::to_wstring(random()) + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written,
                              nullptr) != 0 &&
                    written == contents.size() && FlushFileBuffers(file) != 0;
    CloseHandle(file);
    if (!ok || MoveFileExW(temporary.c_str(), target->c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace kelvora::vkey
