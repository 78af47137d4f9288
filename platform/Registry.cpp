#include "platform/Registry.h"

#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/Paths.h"
#include "platform/PlatformLog.h"

#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace platform::registry {
namespace {

constexpr const char* header = "VelkarnRegistry 1";

struct Value {
    std::string name;  // as created
    std::uint32_t type = 0;
    std::string bytes;
};

struct KeyData {
    std::string path;  // levels joined by "\", as created
    std::vector<Value> values;
};

// Keys by their lower-cased path; the root is "".
using Store = std::map<std::string, KeyData>;

std::mutex storeMutex;
std::map<Key, std::string> openKeys;  // handle -> lower-cased path
Key nextKey = 1;
std::string lastNotedCorruption;

std::string lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == '%' || c == '"' || c == ']' || c == 0x7F) {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i + 1, "%2x", &value) != 1) return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool unhex(const std::string& text, std::string& out) {
    if (text.size() % 2 != 0) return false;
    out.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            return -1;
        };
        int high = digit(text[i]);
        int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

std::string serialise(const Store& store) {
    std::string text = std::string(header) + "\n";
    for (const auto& [lowered, key] : store) {
        if (lowered.empty()) continue;
        text += "[" + escape(key.path) + "]\n";
        for (const auto& value : key.values) {
            text += "\"" + escape(value.name) + "\"=" + std::to_string(value.type) + ":" + hex(value.bytes) + "\n";
        }
    }
    return text;
}

bool parse(const std::string& text, Store& store) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != header) return false;
    KeyData* current = nullptr;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (line.back() != ']') return false;
            std::string path;
            if (!unescape(line.substr(1, line.size() - 2), path) || path.empty()) return false;
            current = &store[lower(path)];
            current->path = path;
        } else if (line.front() == '"' && current != nullptr) {
            std::size_t close = line.find("\"=", 1);
            std::size_t colon = close == std::string::npos ? close : line.find(':', close + 2);
            if (colon == std::string::npos) return false;
            Value value;
            if (!unescape(line.substr(1, close - 1), value.name)) return false;
            std::string typeText = line.substr(close + 2, colon - close - 2);
            // Digits of a 32-bit number only: a damaged file must not throw.
            if (typeText.empty() || typeText.size() > 10 || typeText.find_first_not_of("0123456789") != std::string::npos) {
                return false;
            }
            std::uint64_t type = 0;
            for (char digit : typeText) type = type * 10 + static_cast<std::uint64_t>(digit - '0');
            if (type > 0xFFFFFFFFu) return false;
            value.type = static_cast<std::uint32_t>(type);
            if (!unhex(line.substr(colon + 1), value.bytes)) return false;
            current->values.push_back(std::move(value));
        } else {
            return false;
        }
    }
    return true;
}

// Loads the store; a file that cannot be read counts as empty. Returns
// whether the file on disk is unreadable (it must be set aside on write).
bool load(Store& store) {
    store.clear();
    store[""].path = "";
    std::string path = storePath();
    if (!pathExists(path)) return false;
    std::string text;
    Store parsed;
    if (readWholeFile(path, text) && parse(text, parsed)) {
        for (auto& entry : parsed) store[entry.first] = std::move(entry.second);
        return false;
    }
    struct stat status {};
    ::stat(path.c_str(), &status);
    std::string identity = path + ":" + std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) +
                           "." + std::to_string(status.st_mtim.tv_nsec);
    if (identity != lastNotedCorruption) {
        lastNotedCorruption = identity;
        PLATFORM_NOTE("The settings store " + path + " cannot be read; it is set aside as " + path +
                      ".bad at the next change.");
    }
    return true;
}

int save(const Store& store, bool setAsideOld) {
    std::string path = storePath();
    if (setAsideOld && !renameFile(path, path + ".bad")) return writeFault;
    return writeFileAtomically(path, serialise(store)) ? success : writeFault;
}

Value* findValue(KeyData& key, const std::string& name) {
    std::string wanted = lower(name);
    for (auto& value : key.values) {
        if (lower(value.name) == wanted) return &value;
    }
    return nullptr;
}

bool keyPath(Key key, std::string& path) {
    if (key == currentUser) {
        path.clear();
        return true;
    }
    auto found = openKeys.find(key);
    if (found == openKeys.end()) return false;
    path = found->second;
    return true;
}

std::vector<std::string> levels(const std::string& subKey) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : subKey) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

Key newHandle(const std::string& lowered) {
    Key key = nextKey++;
    openKeys[key] = lowered;
    return key;
}

}  // namespace

std::string storePath() { return dataDirectory() + "/registry.dat"; }

int createKey(Key parent, const std::string& subKey, Key& key, bool& createdNew) {
    std::lock_guard lock(storeMutex);
    std::string lowered;
    if (!keyPath(parent, lowered)) return invalidHandle;
    Store store;
    bool unreadable = load(store);
    std::string display = store[lowered].path;
    createdNew = false;
    bool changed = false;
    for (const auto& level : levels(subKey)) {
        display = display.empty() ? level : display + "\\" + level;
        lowered = lower(display);
        createdNew = store.count(lowered) == 0;
        if (createdNew) {
            store[lowered].path = display;
            changed = true;
        } else {
            display = store[lowered].path;
        }
    }
    if (changed) {
        if (int result = save(store, unreadable); result != success) return result;
    }
    key = newHandle(lowered);
    return success;
}

int openKey(Key parent, const std::string& subKey, Key& key) {
    std::lock_guard lock(storeMutex);
    std::string lowered;
    if (!keyPath(parent, lowered)) return invalidHandle;
    Store store;
    load(store);
    std::string display = store[lowered].path;
    for (const auto& level : levels(subKey)) {
        display = display.empty() ? level : display + "\\" + level;
        lowered = lower(display);
        if (store.count(lowered) == 0) return fileNotFound;
        display = store[lowered].path;
    }
    key = newHandle(lowered);
    return success;
}

int closeKey(Key key) {
    std::lock_guard lock(storeMutex);
    if (key == currentUser) return success;
    return openKeys.erase(key) == 1 ? success : invalidHandle;
}

int queryValue(Key key, const std::string& name, std::uint32_t* type, void* data, std::uint32_t* size) {
    std::lock_guard lock(storeMutex);
    std::string lowered;
    if (!keyPath(key, lowered)) return invalidHandle;
    if (data != nullptr && size == nullptr) return invalidParameter;
    Store store;
    load(store);
    auto found = store.find(lowered);
    if (found == store.end()) return fileNotFound;
    Value* value = findValue(found->second, name);
    if (value == nullptr) return fileNotFound;
    if (type != nullptr) *type = value->type;
    auto length = static_cast<std::uint32_t>(value->bytes.size());
    if (data != nullptr && *size < length) {
        *size = length;
        return moreData;
    }
    if (data != nullptr) std::memcpy(data, value->bytes.data(), length);
    if (size != nullptr) *size = length;
    return success;
}

int setValue(Key key, const std::string& name, std::uint32_t type, const void* data, std::uint32_t size) {
    std::lock_guard lock(storeMutex);
    std::string lowered;
    if (!keyPath(key, lowered)) return invalidHandle;
    if (data == nullptr && size != 0) return invalidParameter;
    Store store;
    bool unreadable = load(store);
    auto found = store.find(lowered);
    if (found == store.end()) return fileNotFound;  // the key was removed behind the handle
    std::string bytes(static_cast<const char*>(data), size);
    if (Value* value = findValue(found->second, name)) {
        value->type = type;
        value->bytes = std::move(bytes);
    } else {
        found->second.values.push_back({name, type, std::move(bytes)});
    }
    return save(store, unreadable);
}

int deleteValue(Key key, const std::string& name) {
    std::lock_guard lock(storeMutex);
    std::string lowered;
    if (!keyPath(key, lowered)) return invalidHandle;
    Store store;
    bool unreadable = load(store);
    auto found = store.find(lowered);
    if (found == store.end() || findValue(found->second, name) == nullptr) return fileNotFound;
    auto& values = found->second.values;
    std::string wanted = lower(name);
    std::erase_if(values, [&](const Value& value) { return lower(value.name) == wanted; });
    return save(store, unreadable);
}

std::string errorText(int code) {
    switch (code) {
    case success: return "The operation completed successfully.";
    case fileNotFound: return "The system cannot find the file specified.";
    case 5: return "Access is denied.";
    case invalidHandle: return "The handle is invalid.";
    case writeFault: return "The system cannot write to the specified device.";
    case invalidParameter: return "The parameter is incorrect.";
    case moreData: return "More data is available.";
    case 1009: return "The configuration registry database is corrupt.";
    case 1010: return "The configuration registry key is invalid.";
    case 1011: return "The configuration registry key could not be opened.";
    case 1012: return "The configuration registry key could not be read.";
    case 1013: return "The configuration registry key could not be written.";
    default: return "Unknown error " + std::to_string(code) + ".";
    }
}

}  // namespace platform::registry
