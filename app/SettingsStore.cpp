#include "app/SettingsStore.h"

#include "framework/Log.h"
#include "framework/Reporters.h"
#include "platform/Registry.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace registry = platform::registry;

namespace {

constexpr const char* keyLevels[] = {"Software", "Pelgrave Software", "Velkarn", "1"};
constexpr int levelCount = 4;

// The four keys, each opened (or created) below the one before. A level that
// fails is logged and the next levels are still tried, as every later call
// reports its own failure; the keys are closed innermost first.
class KeyPath {
public:
    explicit KeyPath(const char* typeName) : typeName_(typeName) {
        registry::Key parent = registry::currentUser;
        for (int i = 0; i < levelCount; ++i) {
            bool created = false;
            reportRegistryError(registry::createKey(parent, keyLevels[i], keys_[i], created), typeName_, __LINE__);
            parent = keys_[i];
        }
    }
    ~KeyPath() {
        for (int i = levelCount - 1; i >= 0; --i) reportRegistryError(registry::closeKey(keys_[i]), typeName_, __LINE__);
    }
    KeyPath(const KeyPath&) = delete;
    KeyPath& operator=(const KeyPath&) = delete;

    registry::Key innermost() const { return keys_[levelCount - 1]; }

private:
    const char* typeName_;
    registry::Key keys_[levelCount] = {};  // 0 is never a valid handle
};

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void logCorrection(const char* valueName, const char* fieldName, const std::string& found, const std::string& used) {
    logMessage(std::string("Settings record ") + valueName + ", field " + fieldName + ": " + found +
                   " is not allowed; the default " + used + " is used.",
               __FILE__, __LINE__);
}

}  // namespace

void SettingsStore::load(const char* typeName, const char* valueName, void* record, std::uint32_t size,
                         const void* defaults) {
    KeyPath keys(typeName);
    std::uint32_t type = 0;
    std::uint32_t read = size;
    if (registry::queryValue(keys.innermost(), valueName, &type, record, &read) != registry::success) {
        std::memcpy(record, defaults, size);
        reportRegistryError(registry::setValue(keys.innermost(), valueName, registry::typeBinary, record, size),
                            typeName, __LINE__);
    } else if (type != registry::typeBinary || read != size) {
        logMessage("Registry trouble, type: " + std::to_string(type) + ", size: " + std::to_string(read) + ".",
                   typeName, __LINE__);
    }
}

void SettingsStore::save(const char* typeName, const char* valueName, const void* record, std::uint32_t size) {
    KeyPath keys(typeName);
    reportRegistryError(registry::setValue(keys.innermost(), valueName, registry::typeBinary, record, size), typeName,
                        __LINE__);
}

void SettingsStore::keepInRange(float& field, float minimum, float maximum, float defaultValue, const char* valueName,
                                const char* fieldName) {
    if (field >= minimum && field <= maximum) return;  // false for NaN
    logCorrection(valueName, fieldName, formatNumber(field), formatNumber(defaultValue));
    field = defaultValue;
}

void SettingsStore::keepChoice(std::int32_t& field, std::initializer_list<std::int32_t> allowed,
                               std::int32_t defaultValue, const char* valueName, const char* fieldName) {
    for (std::int32_t choice : allowed) {
        if (field == choice) return;
    }
    logCorrection(valueName, fieldName, std::to_string(field), std::to_string(defaultValue));
    field = defaultValue;
}

void SettingsStore::keepNumber(float& field, float defaultValue, const char* valueName, const char* fieldName) {
    if (!std::isnan(field)) return;
    logCorrection(valueName, fieldName, formatNumber(field), formatNumber(defaultValue));
    field = defaultValue;
}
