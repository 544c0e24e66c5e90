#include "toolkit/resource_package.h"

#include <unzip.h>

#include <QHash>
#include <algorithm>
#include <climits>
#include <cstring>

namespace kelvora {

namespace {

// minizip reads through callbacks; these serve it the bytes in memory.
struct MemoryStream {
    const unsigned char* data = nullptr;
    ZPOS64_T size = 0;
    ZPOS64_T pos = 0;
};

voidpf ZCALLBACK OpenStream(voidpf /*opaque*/, const void* stream, int /*mode*/) {
    return const_cast<void*>(stream);
}

uLong ZCALLBACK ReadStream(voidpf /*opaque*/, voidpf stream, void* buf, uLong size) {
    auto* s = static_cast<MemoryStream*>(stream);
    const ZPOS64_T n = std::min<ZPOS64_T>(size, s->size - s->pos);
    std::memcpy(buf, s->data + s->pos, static_cast<std::size_t>(n));
    s->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK WriteStream(voidpf /*opaque*/, voidpf /*stream*/, const void* /*buf*/,
                            uLong /*size*/) {
    return 0;  // the package is read-only
}

ZPOS64_T ZCALLBACK TellStream(voidpf /*opaque*/, voidpf stream) {
    return static_cast<MemoryStream*>(stream)->pos;
}

long ZCALLBACK SeekStream(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = s->pos;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = s->size;
            break;
        default:
            return -1;
    }
    // Offsets come from the archive's own fields: one past the end is refused here rather
    // than read from.
    if (offset > s->size - base) {
        return -1;
    }
    s->pos = base + offset;
    return 0;
}

int ZCALLBACK CloseStream(voidpf /*opaque*/, voidpf /*stream*/) {
    return 0;
}

int ZCALLBACK StreamError(voidpf /*opaque*/, voidpf /*stream*/) {
    return 0;
}

// The general-purpose flag bit that marks an encrypted member.
constexpr uLong kEncryptedFlag = 1;

}  // namespace

struct ResourcePackage::Archive {
    struct Member {
        unz64_file_pos pos{};
        ZPOS64_T size = 0;
        bool readable = false;
    };
    MemoryStream stream;
    unzFile zip = nullptr;
    // Built once at open: looking a name up in minizip walks the whole central directory.
    QHash<QString, Member> members;

    ~Archive() {
        if (zip != nullptr) {
            unzClose(zip);
        }
    }
};

ResourcePackage::ResourcePackage(std::unique_ptr<Archive> archive) : archive_(std::move(archive)) {}
ResourcePackage::~ResourcePackage() = default;

std::unique_ptr<ResourcePackage> ResourcePackage::Open(std::span<const std::byte> bytes) {
    if (bytes.empty()) {
        return nullptr;
    }
    auto archive = std::make_unique<Archive>();
    archive->stream.data = reinterpret_cast<const unsigned char*>(bytes.data());
    archive->stream.size = bytes.size();
    zlib_filefunc64_def io{};
    io.zopen64_file = OpenStream;
    io.zread_file = ReadStream;
    io.zwrite_file = WriteStream;
    io.ztell64_file = TellStream;
    io.zseek64_file = SeekStream;
    io.zclose_file = CloseStream;
    io.zerror_file = StreamError;
    archive->zip = unzOpen2_64(&archive->stream, &io);
    if (archive->zip == nullptr) {
        return nullptr;
    }
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive->zip, &global) != UNZ_OK) {
        return nullptr;
    }
    // Every entry of the central directory must be readable, as a truncated or mangled
    // directory means the archive is not the one that was built.
    int step = global.number_entry == 0 ? UNZ_END_OF_LIST_OF_FILE : unzGoToFirstFile(archive->zip);
    while (step == UNZ_OK) {
        unz_file_info64 info;
        Archive::Member member;
        // Each call walks the entry's record again; most names fit the first buffer.
        QByteArray name(256, Qt::Uninitialized);
        if (unzGetCurrentFileInfo64(archive->zip, &info, name.data(),
                                    static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                    0) != UNZ_OK) {
            return nullptr;
        }
        if (info.size_filename > static_cast<uLong>(name.size())) {
            name.resize(static_cast<qsizetype>(info.size_filename));
            if (unzGetCurrentFileInfo64(archive->zip, nullptr, name.data(), info.size_filename,
                                        nullptr, 0, nullptr, 0) != UNZ_OK) {
                return nullptr;
            }
        }
        name.truncate(static_cast<qsizetype>(info.size_filename));
        if (unzGetFilePos64(archive->zip, &member.pos) != UNZ_OK) {
            return nullptr;
        }
        member.size = info.uncompressed_size;
        member.readable = (info.flag & kEncryptedFlag) == 0 &&
                          (info.compression_method == 0 || info.compression_method == Z_DEFLATED);
        // A name that occurs twice keeps its first member.
        const QString key = QString::fromUtf8(name);
        if (!archive->members.contains(key)) {
            archive->members.insert(key, member);
        }
        step = unzGoToNextFile(archive->zip);
    }
    if (step != UNZ_END_OF_LIST_OF_FILE) {
        return nullptr;
    }
    return std::unique_ptr<ResourcePackage>(new ResourcePackage(std::move(archive)));
}

int ResourcePackage::EntryCount() const {
    unz_global_info64 info;
    if (unzGetGlobalInfo64(archive_->zip, &info) != UNZ_OK) {
        return 0;
    }
    return static_cast<int>(std::min<ZPOS64_T>(info.number_entry, INT_MAX));
}

QStringList ResourcePackage::Names() const {
    return archive_->members.keys();
}

std::optional<std::uint64_t> ResourcePackage::SizeOf(const QString& name) const {
    const auto it = archive_->members.find(name);
    if (it == archive_->members.end()) {
        return std::nullopt;
    }
    return it->size;
}

std::optional<QByteArray> ResourcePackage::Read(const QString& name) const {
    const auto it = archive_->members.find(name);
    if (it == archive_->members.end() || !it->readable || it->size > kMaxMemberSize) {
        return std::nullopt;
    }
    unzFile zip = archive_->zip;
    unz64_file_pos pos = it->pos;
    if (unzGoToFilePos64(zip, &pos) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK) {
        return std::nullopt;
    }
    const auto size = static_cast<qsizetype>(it->size);
    QByteArray data(size, Qt::Uninitialized);
    qsizetype total = 0;
    int n = 1;
    while (total < size && n > 0) {
        // Bounded by the recorded size: a member never inflates past the buffer.
        const auto chunk = static_cast<unsigned>(std::min<qsizetype>(size - total, 1 << 20));
        n = unzReadCurrentFile(zip, data.data() + total, chunk);
        total += n > 0 ? n : 0;
    }
    // Closing reports a checksum mismatch once the whole member has been read.
    const bool closed = unzCloseCurrentFile(zip) == UNZ_OK;
    if (n < 0 || !closed || total != size) {
        return std::nullopt;
    }
    return data;
}

}  // namespace kelvora
