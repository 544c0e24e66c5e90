#pragma once

// The skin package: a ZIP archive held in memory, from which layouts and images are read by
// file name. Nothing is ever read from disk.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>

struct zip;

namespace kelvora {

class ResourcePackage {
  public:
    // Opens an archive over `bytes`, which must outlive the package (it is not copied).
    // Returns nothing when the bytes are not a readable ZIP archive.
    static std::unique_ptr<ResourcePackage> Open(std::span<const std::byte> bytes);

    ~ResourcePackage();
    ResourcePackage(const ResourcePackage&) = delete;
    ResourcePackage& operator=(const ResourcePackage&) = delete;

    // The content of the member `name`, or nothing when it is absent or unreadable.
    std::optional<QByteArray> Read(const QString& name) const;
    int EntryCount() const;

  private:
    explicit ResourcePackage(zip* archive) : archive_(archive) {}
    zip* archive_;
};

}  // namespace kelvora
