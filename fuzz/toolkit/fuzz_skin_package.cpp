// Feeds arbitrary bytes to the skin package reader as if they were the package built into
// the executable: the archive is opened and every member it names is read. A broken or
// hostile archive must be refused or read member by member without a crash, a read outside
// the bytes, a hang or an allocation beyond the member size limit.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <span>

#include "toolkit/resource_package.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvora::ResourcePackage;
    const auto package =
        ResourcePackage::Open(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (!package) {
        return 0;
    }
    (void)package->EntryCount();
    for (const QString& name : package->Names()) {
        const auto content = package->Read(name);
        const auto recorded = package->SizeOf(name);
        if (content && (!recorded || static_cast<std::uint64_t>(content->size()) != *recorded ||
                        *recorded > ResourcePackage::kMaxMemberSize)) {
            __builtin_trap();  // a member read at a size other than the one checked
        }
    }
    (void)package->Read(QStringLiteral("main.xml"));  // a name it may not hold
    return 0;
}
