// The settings store reading its file, whatever the file holds. Reads must
// give an answer; a value set after a damaged file was found must be
// readable afterwards, with the damaged file set aside, not lost.
#include "FuzzSupport.h"

#include "platform/Registry.h"

#include <filesystem>

namespace registry = platform::registry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = registry::storePath();
    fuzz::removeFile(path + ".bad");
    fuzz::writeFile(path, data, size);

    registry::Key key = 0;
    if (registry::openKey(registry::currentUser, "Software\\Velkarn", key) == registry::success) {
        std::uint32_t type = 0;
        std::uint32_t length = 0;
        if (registry::queryValue(key, "Settings", &type, nullptr, &length) == registry::success) {
            std::vector<std::uint8_t> value(length);
            std::uint32_t got = length;
            fuzz::check(registry::queryValue(key, "Settings", &type, value.data(), &got) == registry::success,
                        "a value whose size was given cannot be read");
            fuzz::check(got == length, "a value reads with another size than it reported");
        }
        registry::closeKey(key);
    }

    bool created = false;
    fuzz::check(registry::createKey(registry::currentUser, "Software\\Velkarn\\Fuzz", key, created) == registry::success,
                "a key cannot be created");
    const std::uint32_t stored = 0x12345678u;
    fuzz::check(registry::setValue(key, "Written", registry::typeDword, &stored, 4) == registry::success,
                "a value cannot be set");
    std::uint32_t type = 0;
    std::uint32_t read = 0;
    std::uint32_t length = 4;
    fuzz::check(registry::queryValue(key, "Written", &type, &read, &length) == registry::success && read == stored &&
                    type == registry::typeDword && length == 4,
                "a value set does not read back");
    registry::closeKey(key);

    // A file set aside holds exactly what the user had.
    std::vector<std::uint8_t> aside;
    if (fuzz::readFile(path + ".bad", aside))
        fuzz::check(aside == std::vector<std::uint8_t>(data, data + size), "the set-aside store differs from the file");
    else
        fuzz::noteAccepted();
    return 0;
}
