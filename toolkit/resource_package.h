#pragma once

// The skin package: a ZIP archive held in memory, from which layouts and images are read by
// file name. Nothing is ever read from disk.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace kelvora {

class ResourcePackage {
  public:
    // Members larger than this are refused: the package holds small layouts and icons, and a
    // corrupt size field must not make us allocate gigabytes.
    static constexpr std::uint64_t kMaxMemberSize = std::uint64_t{16} * 1024 * 1024;

    // Opens an archive over `bytes`, which must outlive the package (it is not copied).
    // Returns nothing when the bytes are not a readable ZIP archive.
    static std::unique_ptr<ResourcePackage> Open(std::span<const std::byte> bytes);

    ~ResourcePackage();
    ResourcePackage(const ResourcePackage&) = delete;
    ResourcePackage& operator=(const ResourcePackage&) = delete;

    // The content of the member `name`, or nothing when it is absent, larger than
    // kMaxMemberSize, encrypted, or does not inflate to its recorded size and checksum.
    // Not thread-safe: the reader keeps a current member (the UI thread reads the package).
    std::optional<QByteArray> Read(const QString& name) const;
    // The size the archive records for `name`, read without inflating it.
    std::optional<std::uint64_t> SizeOf(const QString& name) const;
    // The members' names, in no particular order.
    QStringList Names() const;
    int EntryCount() const;

  private:
    struct Archive;
    explicit ResourcePackage(std::unique_ptr<Archive> archive);
    std::unique_ptr<Archive> archive_;
};

}  // namespace kelvora
