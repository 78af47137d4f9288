// The scripted attribute store of the tests.
#include "platform/AsfAttributes.h"

namespace platform {

bool FakeAsfAttributes::open(const std::string&) {
    saved_ = script_.values;
    return !script_.openFails;
}

std::vector<AsfAttributes::Bytes> FakeAsfAttributes::values(const std::string& name) const {
    auto found = script_.values.find(name);
    return found == script_.values.end() ? std::vector<Bytes>{} : found->second;
}

void FakeAsfAttributes::addBinary(const std::string& name, const Bytes& value) {
    script_.values[name].push_back(value);
}

void FakeAsfAttributes::remove(const std::string& name) {
    script_.values.erase(name);
}

std::optional<std::u16string> FakeAsfAttributes::text(AsfText which) const {
    auto found = script_.texts.find(which);
    if (found == script_.texts.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second;
}

bool FakeAsfAttributes::save() {
    if (script_.saveFails) {
        return false;
    }
    ++saves_;
    saved_ = script_.values;
    return true;
}

}  // namespace platform
