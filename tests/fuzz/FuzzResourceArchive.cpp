// The resource archive's index on any bytes, then lookups of the names it
// holds. An index that builds must hand out only bytes inside the archive.
#include "FuzzSupport.h"

#include "framework/ResourceArchive.h"
#include "framework/Support.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    supportSettings().archiveMode = true;
    bool built = false;
    fuzz::guarded([&] {
        initializeFileSystemFrom(data, size);
        built = true;
    });
    if (built) {
        fuzz::noteAccepted();
        // The names as the index read them: NUL-terminated, after the count.
        fuzz::Cursor cursor(data, size);
        const std::uint32_t count = cursor.u32();
        std::size_t at = 4;
        for (std::uint32_t i = 0; i < count && at < size; ++i) {
            const void* nul = std::memchr(data + at, 0, size - at);
            if (nul == nullptr) break;
            const std::string name(reinterpret_cast<const char*>(data + at));
            at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) + 9;
            fuzz::check(archiveContains(name), "a name of the index is not found");
            const std::uint8_t* bytes = nullptr;
            int length = -1;
            findArchiveEntry(name, bytes, length);
            fuzz::check(length >= 0 && bytes >= data && bytes + length <= data + size,
                        "an entry lies outside the archive");
        }
        fuzz::guarded([&] {
            const std::uint8_t* bytes = nullptr;
            int length = 0;
            // Longer than any name the index takes.
            findArchiveEntry(std::string(600, 'n'), bytes, length);
            fuzz::fail("a missing name was found");
        });
    }
    cleanUpFileSystem();
    return 0;
}
