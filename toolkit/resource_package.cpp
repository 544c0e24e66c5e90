#include "toolkit/resource_package.h"

#include <zip.h>

namespace kelvora {

namespace {
// Members larger than this are refused: the package holds small layouts and icons, and a
// corrupt size field must not make us allocate gigabytes.
constexpr zip_uint64_t kMaxMemberSize = zip_uint64_t{16} * 1024 * 1024;
}  // namespace

std::unique_ptr<ResourcePackage> ResourcePackage::Open(std::span<const std::byte> bytes) {
    if (bytes.empty()) {
        return nullptr;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source == nullptr) {
        zip_error_fini(&error);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);  // still ours when the open failed
        return nullptr;
    }
    return std::unique_ptr<ResourcePackage>(new ResourcePackage(archive));
}

ResourcePackage::~ResourcePackage() {
    zip_discard(archive_);
}

int ResourcePackage::EntryCount() const {
    const zip_int64_t n = zip_get_num_entries(archive_, 0);
    return n < 0 ? 0 : static_cast<int>(n);
}

std::optional<QByteArray> ResourcePackage::Read(const QString& name) const {
    const QByteArray utf8 = name.toUtf8();
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(archive_, utf8.constData(), 0, &st) != 0 || (st.valid & ZIP_STAT_SIZE) == 0 ||
        st.size > kMaxMemberSize) {
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen(archive_, utf8.constData(), 0);
    if (file == nullptr) {
        return std::nullopt;
    }
    QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    zip_int64_t total = 0;
    while (total < static_cast<zip_int64_t>(st.size)) {
        const zip_int64_t n = zip_fread(file, data.data() + total, st.size - total);
        if (n <= 0) {
            break;
        }
        total += n;
    }
    // Closing reports a checksum mismatch of the member just read.
    const bool intact = zip_fclose(file) == 0;
    if (!intact || total != static_cast<zip_int64_t>(st.size)) {
        return std::nullopt;
    }
    return data;
}

}  // namespace kelvora
