#include "platform/hid/ReportDescriptor.h"

#include <algorithm>
#include <map>

namespace platform::hid {
namespace {

// Item types and tags of the short items that matter here.
constexpr int typeMain = 0;
constexpr int typeGlobal = 1;
constexpr int mainInput = 8;
constexpr int mainOutput = 9;
constexpr int mainFeature = 11;
constexpr int globalReportSize = 7;
constexpr int globalReportId = 8;
constexpr int globalReportCount = 9;
constexpr int globalPush = 10;
constexpr int globalPop = 11;
constexpr std::uint8_t longItemPrefix = 0xFE;

struct Globals {
    std::uint64_t reportSize = 0;
    std::uint64_t reportCount = 0;
    std::uint32_t reportId = 0;
};

std::uint16_t lengthOf(const std::map<std::uint32_t, std::uint64_t>& bitsById) {
    std::uint64_t longest = 0;
    bool any = false;
    for (const auto& [id, bits] : bitsById) {
        any = true;
        longest = std::max(longest, (bits + 7) / 8);
    }
    if (!any) return 0;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(longest + 1, 0xFFFF));
}

}  // namespace

ReportDescriptor parseReportDescriptor(const std::vector<std::uint8_t>& bytes) {
    ReportDescriptor result;
    Globals globals;
    std::vector<Globals> stack;
    std::map<std::uint32_t, std::uint64_t> input;
    std::map<std::uint32_t, std::uint64_t> output;
    std::map<std::uint32_t, std::uint64_t> feature;
    constexpr std::uint64_t bitLimit = 1ull << 32;  // keeps sums far from overflow

    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::uint8_t prefix = bytes[at];
        if (prefix == longItemPrefix) {
            // Prefix, data size, tag, then the data.
            if (at + 3 > bytes.size()) {
                result.complete = false;
                break;
            }
            const std::size_t skip = 3 + static_cast<std::size_t>(bytes[at + 1]);
            if (at + skip > bytes.size()) {
                result.complete = false;
                break;
            }
            at += skip;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + 1 + size > bytes.size()) {
            result.complete = false;
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes[at + 1 + i]} << (8 * i);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        at += 1 + size;

        if (type == typeGlobal) {
            switch (tag) {
            case globalReportSize: globals.reportSize = value; break;
            case globalReportCount: globals.reportCount = value; break;
            case globalReportId:
                globals.reportId = value;
                result.numbered = true;
                break;
            case globalPush: stack.push_back(globals); break;
            case globalPop:
                if (!stack.empty()) {
                    globals = stack.back();
                    stack.pop_back();
                }
                break;
            default: break;
            }
        } else if (type == typeMain) {
            std::map<std::uint32_t, std::uint64_t>* kind = tag == mainInput     ? &input
                                                            : tag == mainOutput ? &output
                                                            : tag == mainFeature ? &feature
                                                                                 : nullptr;
            // A field without bits (a count of 0) makes no report.
            if (kind != nullptr && globals.reportSize != 0 && globals.reportCount != 0) {
                std::uint64_t& bits = (*kind)[globals.reportId];
                const std::uint64_t added = globals.reportSize != 0 && globals.reportCount > bitLimit / globals.reportSize
                                                ? bitLimit
                                                : globals.reportSize * globals.reportCount;
                bits = std::min(bitLimit, bits + added);
            }
        }
    }
    result.caps.inputReportLength = lengthOf(input);
    result.caps.outputReportLength = lengthOf(output);
    result.caps.featureReportLength = lengthOf(feature);
    return result;
}

}  // namespace platform::hid
