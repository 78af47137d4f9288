#include "scope/ScopeStartUpValues.h"

#include "framework/Log.h"
#include "framework/Reporters.h"
#include "platform/Registry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace registry = platform::registry;

namespace {

constexpr const char* keyLevels[] = {"Software", "Pelgrave Software", "Scope", "1"};
constexpr int levelCount = 4;
constexpr const char* valueName = "StartUp";
constexpr std::uint32_t recordSize = sizeof(ScopeStartUpValues);

static_assert(std::is_trivially_copyable_v<ScopeStartUpValues> && std::is_standard_layout_v<ScopeStartUpValues>);

// The four keys, opened or created one below the other; every result is
// reported and the steps go on. Closed innermost first.
class KeyPath {
public:
    KeyPath() {
        registry::Key parent = registry::currentUser;
        for (int i = 0; i < levelCount; ++i) {
            reportRegistryError(registry::createKey(parent, keyLevels[i], keys_[i], createdNew_), __FILE__, __LINE__);
            parent = keys_[i];
        }
    }
    ~KeyPath() {
        for (int i = levelCount - 1; i >= 0; --i) reportRegistryError(registry::closeKey(keys_[i]), __FILE__, __LINE__);
    }
    KeyPath(const KeyPath&) = delete;
    KeyPath& operator=(const KeyPath&) = delete;

    registry::Key innermost() const { return keys_[levelCount - 1]; }
    // Whether the last level had to be created.
    bool createdNew() const { return createdNew_; }

private:
    registry::Key keys_[levelCount] = {};  // 0 is never a valid handle
    bool createdNew_ = false;
};

void keepUsable(float& value, float defaultValue, float minimum, float maximum) {
    if (!std::isfinite(value)) value = defaultValue;
    value = std::clamp(value, minimum, maximum);
}

void keepFinite(float& flag, float defaultValue) {
    if (!std::isfinite(flag)) flag = defaultValue;
}

}  // namespace

ScopeStartUpValues::ScopeStartUpValues(float nyquist) : highFrequency(nyquist) {}

void ScopeStartUpValues::load(float nyquist) {
    KeyPath keys;
    if (keys.createdNew()) {
        reportRegistryError(registry::setValue(keys.innermost(), valueName, registry::typeBinary, this, recordSize),
                            __FILE__, __LINE__);
    } else {
        // Type and size first: only a binary value of exactly the record's
        // size is taken, so a damaged value never mixes with the defaults.
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (reportRegistryError(registry::queryValue(keys.innermost(), valueName, &type, nullptr, &size), __FILE__,
                                __LINE__)) {
            if (type != registry::typeBinary || size != recordSize) {
                logMessage("Registry trouble, type: " + std::to_string(type) + ", size: " + std::to_string(size) + ".",
                           __FILE__, __LINE__);
            } else {
                unsigned char scratch[recordSize];
                if (reportRegistryError(registry::queryValue(keys.innermost(), valueName, &type, scratch, &size),
                                        __FILE__, __LINE__) &&
                    type == registry::typeBinary && size == recordSize) {
                    std::memcpy(static_cast<void*>(this), scratch, recordSize);
                }
            }
        }
    }
    mend(nyquist);
}

void ScopeStartUpValues::mend(float nyquist) {
    const ScopeStartUpValues defaults(nyquist);
    keepFinite(run, defaults.run);
    keepFinite(trigger, defaults.trigger);
    keepFinite(spectrumMode, defaults.spectrumMode);
    keepUsable(timeSpanMs, defaults.timeSpanMs, 1.0f, 1000.0f);
    keepUsable(gainPercent, defaults.gainPercent, 10.0f, 500.0f);
    keepUsable(triggerLevelPercent, defaults.triggerLevelPercent, 0.0f, 100.0f);
    keepUsable(refreshIntervalMs, defaults.refreshIntervalMs, 10.0f, 1000.0f);
    keepUsable(lowFrequency, defaults.lowFrequency, 0.0f, nyquist);
    keepUsable(highFrequency, defaults.highFrequency, 0.0f, nyquist);
    keepFinite(logFrequencyScale, defaults.logFrequencyScale);
    keepFinite(labelMax, defaults.labelMax);
}

void ScopeStartUpValues::save() const {
    KeyPath keys;
    reportRegistryError(registry::setValue(keys.innermost(), valueName, registry::typeBinary, this, recordSize),
                        __FILE__, __LINE__);
}
