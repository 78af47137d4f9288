#include "HuffmanTableLayout.h"

#include <memory>
#include <stdexcept>

#include "primitives/mp3/HuffmanTableFormat.h"

namespace primitives::mp3gen {

using namespace primitives::mp3;

namespace {

[[noreturn]] void fail(int32_t table, const std::string& what) {
    throw std::runtime_error("Huffman table " + std::to_string(table) + ": " + what);
}

// Bit `position` (0 = first) of a `width`-bit stream pattern.
uint32_t patternBit(uint32_t pattern, int32_t width, int32_t position) {
    return pattern >> (width - 1 - position) & 1;
}

// Whether the first `length` bits of a `width`-bit pattern are the code.
bool patternStartsWith(uint32_t pattern, int32_t width, uint32_t code, int32_t length) {
    return length <= width && pattern >> (width - length) == code;
}

// A binary trie over the code bits below the first level.
struct TreeNode {
    bool leaf = false;
    int32_t x = 0;
    int32_t y = 0;
    std::unique_ptr<TreeNode> child[2];
};

void insertCode(TreeNode& root, const PairCode& code, int32_t tableNumber) {
    TreeNode* node = &root;
    for (int32_t position = kFirstLevelBits; position < code.length; ++position) {
        if (node->leaf) fail(tableNumber, "not a prefix code");
        auto& next = node->child[patternBit(code.bits, code.length, position)];
        if (!next) next = std::make_unique<TreeNode>();
        node = next.get();
    }
    if (node->leaf || node->child[0] || node->child[1]) fail(tableNumber, "not a prefix code");
    node->leaf = true;
    node->x = code.x;
    node->y = code.y;
}

// Lays a subtree out in pre-order with every 0-child directly after its
// parent, so that only 1-children need a pointer. Returns the root's index.
template <typename Value, typename LeafFn, typename PointerFn>
int32_t layOut(const TreeNode& node, std::vector<Value>& tree, int32_t tableNumber, LeafFn leafValue,
               PointerFn pointerValue, int32_t largestPointer) {
    const auto index = static_cast<int32_t>(tree.size());
    tree.push_back(0);
    if (node.leaf) {
        tree[index] = leafValue(node.x, node.y);
        return index;
    }
    if (!node.child[0] || !node.child[1]) fail(tableNumber, "incomplete code tree");
    layOut(*node.child[0], tree, tableNumber, leafValue, pointerValue, largestPointer);
    const int32_t one = layOut(*node.child[1], tree, tableNumber, leafValue, pointerValue, largestPointer);
    if (one > largestPointer) fail(tableNumber, "tree node " + std::to_string(one) + " beyond the pointer range");
    tree[index] = pointerValue(one);
    return index;
}

// A code of at most 4 bits as seen through one first-level index: the code,
// then as many of its sign bits as fit.
struct ShortCode {
    int32_t x;
    int32_t y;
    int32_t length;
    int32_t signs;      // number of nonzero values
    int32_t total;      // length + signs
    int32_t signedX;    // x with the sign bit the index holds, when it holds one
    int32_t signedXY[2];
};

ShortCode viewShortCode(const PairCode& code, uint32_t index) {
    ShortCode view{code.x, code.y, code.length, (code.x != 0) + (code.y != 0), 0, code.x, {code.x, code.y}};
    view.total = view.length + view.signs;
    int32_t position = code.length;
    for (int32_t& value : view.signedXY) {
        if (value != 0 && position < kFirstLevelBits) {
            if (patternBit(index, kFirstLevelBits, position) != 0) value = -value;
            ++position;
        }
    }
    view.signedX = view.signedXY[0];
    return view;
}

template <typename Value, typename EntryFn, typename LeafFn, typename PointerFn>
std::vector<Value> packTable(const PairTable& table, EntryFn decodingEntry, LeafFn leafValue, PointerFn pointerValue,
                             int32_t largestPointer) {
    if (table.codesOf != table.number || table.codes.empty()) fail(table.number, "has no codes of its own");
    std::vector<int32_t> lengths;
    for (const PairCode& code : table.codes) lengths.push_back(code.length);
    if (!kraftSumIsOne(lengths)) fail(table.number, "not a complete prefix code");

    std::vector<Value> firstLevel(kFirstLevelEntries);
    std::vector<Value> tree;
    for (uint32_t index = 0; index < static_cast<uint32_t>(kFirstLevelEntries); ++index) {
        const PairCode* shortCode = nullptr;
        TreeNode root;
        bool hasLongCodes = false;
        for (const PairCode& code : table.codes) {
            if (code.length <= kFirstLevelBits) {
                if (patternStartsWith(index, kFirstLevelBits, code.bits, code.length)) shortCode = &code;
            } else if (code.bits >> (code.length - kFirstLevelBits) == index) {
                insertCode(root, code, table.number);
                hasLongCodes = true;
            }
        }
        if (shortCode != nullptr && hasLongCodes) fail(table.number, "not a prefix code");
        if (shortCode != nullptr) {
            firstLevel[index] = decodingEntry(viewShortCode(*shortCode, index));
        } else if (hasLongCodes) {
            const int32_t start = layOut(root, tree, table.number, leafValue, pointerValue, largestPointer);
            if (start > largestPointer) fail(table.number, "tree start beyond the pointer range");
            firstLevel[index] = pointerValue(start);
        } else {
            fail(table.number, "first-level index without a code");
        }
    }
    firstLevel.insert(firstLevel.end(), tree.begin(), tree.end());
    return firstLevel;
}

template <typename Value>
int32_t largestNamedNodeOf(const Value* entries, std::size_t count) {
    int32_t largest = -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (!isLeafOrDecodingEntry(entries[i])) largest = std::max(largest, namedNode(entries[i]));
    }
    return largest;
}

}  // namespace

bool kraftSumIsOne(const std::vector<int32_t>& lengths) {
    // Exact in 64 bits: every length is at most 32.
    uint64_t sum = 0;
    for (int32_t length : lengths) {
        if (length < 1 || length > 32) return false;
        sum += uint64_t{1} << (32 - length);
    }
    return sum == uint64_t{1} << 32;
}

PairTableFormat pairTableFormat(int32_t tableNumber) {
    if (tableNumber == 0 || tableNumber == 4 || tableNumber == 14) return PairTableFormat::none;
    return tableNumber <= 12 ? PairTableFormat::byteFormat : PairTableFormat::wordFormat;
}

std::vector<uint8_t> packByteTable(const PairTable& table) {
    const auto decodingEntry = [&](const ShortCode& c) -> uint8_t {
        if (c.signs == 0) {
            static constexpr uint32_t kindForLength[] = {0, 3, 2, 1, 0};
            return byteDecodingEntry(kindForLength[c.length], 0, 0);
        }
        if (c.total <= kFirstLevelBits && c.x <= 1 && c.y <= 1) {
            if (c.total < 3) fail(table.number, "short code without a first-level kind");
            return byteDecodingEntry(c.total == 4 ? 0 : 1, signedField2(c.signedXY[0]), signedField2(c.signedXY[1]));
        }
        if (c.total == 5 && c.length == 4 && c.x == 2 && c.y == 0) return byteDecodingEntry(4, 0, 0);
        if (c.total == 5 && c.y == 1 && c.x <= 1 && c.length + (c.x != 0) == kFirstLevelBits) {
            return byteDecodingEntry(6, signedField2(c.signedX), 0);
        }
        if (c.total == 6 && c.length == 4 && c.x >= 1 && c.y >= 1 && c.x <= 3 && c.y <= 3) {
            return byteDecodingEntry(7, static_cast<uint32_t>(c.x), static_cast<uint32_t>(c.y));
        }
        fail(table.number, "short code without a first-level kind");
    };
    if (pairTableFormat(table.number) != PairTableFormat::byteFormat || table.dimension > 8) {
        fail(table.number, "not a byte-format table");
    }
    return packTable<uint8_t>(table, decodingEntry, byteLeaf, bytePointer, kLargestBytePointer);
}

std::vector<uint16_t> packWordTable(const PairTable& table) {
    const bool escapes = table.linbits > 0;
    const auto decodingEntry = [&](const ShortCode& c) -> uint16_t {
        if (c.signs == 0) {
            if (c.length == 2) fail(table.number, "short code without a first-level kind");
            static constexpr uint32_t kindForLength[] = {0, 3, 0, 1, 0};
            return wordDecodingEntry(kindForLength[c.length], 0, 0);
        }
        if (c.total == 4 && c.y == 0 && c.x <= 7) return wordDecodingEntry(0, signedField4(c.signedX), 0);
        if (c.total == 5 && c.length == 4 && c.x == 1 && c.y == 0) return wordDecodingEntry(4, 0, 0);
        if (c.total == 5 && c.length == 4 && c.x == 0 && c.y == 1) return wordDecodingEntry(5, 0, 0);
        if (c.total == 5 && c.y == 1 && c.x >= 1 && c.x <= 7 && c.length == 3) {
            return wordDecodingEntry(6, signedField4(c.signedX), 0);
        }
        // Kind 7 reads escapes only for the pair 15, 15.
        if (c.total == 6 && c.length == 4 && c.x >= 1 && c.y >= 1 && (!escapes || (c.x == 15) == (c.y == 15))) {
            return wordDecodingEntry(7, static_cast<uint32_t>(c.x), static_cast<uint32_t>(c.y));
        }
        fail(table.number, "short code without a first-level kind");
    };
    if (pairTableFormat(table.number) != PairTableFormat::wordFormat) fail(table.number, "not a word-format table");
    return packTable<uint16_t>(table, decodingEntry, wordLeaf, wordPointer, kLargestWordPointer);
}

std::array<uint8_t, 52> packCount1TableA(const std::vector<QuadCode>& codes) {
    const auto failA = [](const std::string& what) -> void {
        throw std::runtime_error("count1 table A: " + what);
    };
    if (codes.size() != 16) failA("needs 16 codes");
    std::vector<int32_t> lengths;
    for (const QuadCode& code : codes) lengths.push_back(code.length);
    if (!kraftSumIsOne(lengths)) failA("not a complete prefix code");
    if (codes[0].length != 1 || codes[0].bits != 1) failA("0,0,0,0 must be the code 1");

    std::array<uint8_t, 52> table{};
    int32_t nextPair = kCount1SecondLevelStart;
    for (uint32_t index = 0; index < 32; ++index) {
        const QuadCode* found = nullptr;
        for (const QuadCode& code : codes) {
            if (code.length <= 6 && patternStartsWith(index, 6, code.bits, code.length)) found = &code;
        }
        if (found == nullptr) failA("six-bit index " + std::to_string(index) + " without a code");
        const QuadCode& c = *found;
        const int32_t values[4] = {c.v, c.w, c.x, c.y};
        const int32_t ones = c.v + c.w + c.x + c.y;
        // The values signed by the bits `extra` that follow the code.
        const auto fieldsWithSigns = [&](uint32_t extra, int32_t extraBits) {
            int32_t signedValues[4];
            int32_t position = 0;
            for (int32_t k = 0; k < 4; ++k) {
                signedValues[k] = values[k];
                if (values[k] != 0 && position < extraBits) {
                    if (patternBit(extra, extraBits, position++) != 0) signedValues[k] = -1;
                }
            }
            return quadFields(signedValues[0], signedValues[1], signedValues[2], signedValues[3]);
        };
        const int32_t signBitsInIndex = 6 - c.length;
        const uint32_t signsInIndex = index & ((1u << signBitsInIndex) - 1);
        if (index >= 16) {
            if (c.length + ones != 5) failA("index " + std::to_string(index) + " is not a 5-bit code");
            table[index] = fieldsWithSigns(signsInIndex >> 1, signBitsInIndex - 1);
        } else if (index >= 6) {
            if (c.length + ones != 7) failA("index " + std::to_string(index) + " is not a 7-bit code");
            if (nextPair + 2 > kCount1TableABytes) failA("second level overflows");
            table[index] = static_cast<uint8_t>(nextPair);
            for (uint32_t seventh = 0; seventh < 2; ++seventh) {
                table[nextPair + seventh] = fieldsWithSigns(signsInIndex << 1 | seventh, signBitsInIndex + 1);
            }
            nextPair += 2;
        } else {
            if (c.length != 6) failA("index " + std::to_string(index) + " is not a 6-bit code");
            if (ones == 2 && c.v == 0 && c.w == 1 && c.x == 0 && c.y == 1) {
                table[index] = kQuadShapeTwoOnes;
            } else if (ones == 3) {
                table[index] = static_cast<uint8_t>(c.v << 6 | c.w << 5 | c.x << 4 | c.y << 3 | kQuadShapeThreeOnes);
            } else if (ones == 4) {
                table[index] = kQuadShapeFourOnes;
            } else {
                failA("index " + std::to_string(index) + " has no shape");
            }
        }
    }
    if (nextPair != kCount1TableABytes) failA("second level does not fill the table");
    return table;
}

void checkCount1TableB(const std::vector<QuadCode>& codes) {
    if (codes.size() != 16) throw std::runtime_error("count1 table B: needs 16 codes");
    for (uint32_t i = 0; i < 16; ++i) {
        if (codes[i].length != 4 || codes[i].bits != (~i & 15)) {
            throw std::runtime_error("count1 table B: code " + std::to_string(i) + " is not the inverted value");
        }
    }
}

int32_t largestNamedNode(const uint8_t* entries, std::size_t count) { return largestNamedNodeOf(entries, count); }
int32_t largestNamedNode(const uint16_t* entries, std::size_t count) { return largestNamedNodeOf(entries, count); }

std::string bandRowProblem(const BandRow& row, std::size_t count, int32_t end) {
    const std::string name = "band row id " + std::to_string(row.id) + " sf " + std::to_string(row.samplingFrequency);
    if (row.bounds.size() != count) return name + ": " + std::to_string(row.bounds.size()) + " boundaries";
    if (row.bounds.front() != 0) return name + ": does not start at 0";
    if (row.bounds.back() != end) return name + ": does not end at " + std::to_string(end);
    for (std::size_t i = 1; i < row.bounds.size(); ++i) {
        if (row.bounds[i] <= row.bounds[i - 1]) return name + ": does not rise at " + std::to_string(i);
    }
    return {};
}

}  // namespace primitives::mp3gen
