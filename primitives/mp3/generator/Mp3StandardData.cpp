#include "Mp3StandardData.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace primitives::mp3gen {
namespace {

// The records of one file, one vector of fields per line, with line numbers
// for error messages.
class RecordFile {
public:
    explicit RecordFile(const std::string& path) : path_(path) {
        std::ifstream in(path);
        if (!in) throw std::runtime_error("cannot open " + path);
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; split >> field;) fields.push_back(field);
            lines_.push_back(std::move(fields));
        }
    }

    bool atEnd() const { return next_ >= lines_.size(); }

    const std::vector<std::string>& take(std::size_t fieldCount) {
        if (atEnd()) fail("unexpected end of file");
        const auto& fields = lines_[next_++];
        if (fields.size() != fieldCount) fail("expected " + std::to_string(fieldCount) + " fields");
        return fields;
    }

    int32_t number(const std::string& field, int32_t low, int32_t high) const {
        int32_t value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size()) fail("not an integer: " + field);
        if (value < low || value > high) fail("out of range: " + field);
        return value;
    }

    void expect(const std::string& field, const char* word) const {
        if (field != word) fail(std::string("expected '") + word + "', found '" + field + "'");
    }

    // A code word of `length` bits written as 0 and 1 characters.
    uint32_t codeBits(const std::string& field, int32_t length) const {
        if (static_cast<int32_t>(field.size()) != length) fail("code length does not match: " + field);
        uint32_t bits = 0;
        for (char c : field) {
            if (c != '0' && c != '1') fail("not a code word: " + field);
            bits = bits << 1 | static_cast<uint32_t>(c - '0');
        }
        return bits;
    }

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error(path_ + ":" + std::to_string(next_) + ": " + what);
    }

private:
    std::string path_;
    std::vector<std::vector<std::string>> lines_;
    std::size_t next_ = 0;
};

std::vector<QuadCode> readQuadTable(RecordFile& file, const char* name) {
    const auto& head = file.take(4);
    file.expect(head[0], "count1");
    file.expect(head[1], name);
    file.expect(head[2], "entries");
    file.number(head[3], 16, 16);
    std::vector<QuadCode> codes;
    for (int32_t i = 0; i < 16; ++i) {
        const auto& f = file.take(6);
        QuadCode code;
        code.v = file.number(f[0], 0, 1);
        code.w = file.number(f[1], 0, 1);
        code.x = file.number(f[2], 0, 1);
        code.y = file.number(f[3], 0, 1);
        if ((code.v << 3 | code.w << 2 | code.x << 1 | code.y) != i) file.fail("quadruples out of order");
        code.length = file.number(f[4], 1, 32);
        code.bits = file.codeBits(f[5], code.length);
        codes.push_back(code);
    }
    return codes;
}

}  // namespace

HuffmanData readHuffmanData(const std::string& path) {
    RecordFile file(path);
    HuffmanData data;
    for (int32_t number = 0; number < 32; ++number) {
        const auto& head = file.take(10);
        file.expect(head[0], "table");
        file.expect(head[2], "dim");
        file.expect(head[4], "linbits");
        file.expect(head[6], "codes");
        file.expect(head[8], "entries");
        PairTable table;
        table.number = file.number(head[1], number, number);
        table.dimension = file.number(head[3], 0, 16);
        table.linbits = file.number(head[5], 0, 13);
        table.codesOf = file.number(head[7], 0, 31);
        const int32_t entries = file.number(head[9], 0, 256);
        const bool ownCodes = table.codesOf == number;
        if (entries != (ownCodes ? table.dimension * table.dimension : 0)) file.fail("wrong entry count");
        if (!ownCodes && data.pairTables.at(table.codesOf).dimension != table.dimension) {
            file.fail("borrowed table of another dimension");
        }
        for (int32_t i = 0; i < entries; ++i) {
            const auto& f = file.take(4);
            PairCode code;
            code.x = file.number(f[0], 0, table.dimension - 1);
            code.y = file.number(f[1], 0, table.dimension - 1);
            if (code.x * table.dimension + code.y != i) file.fail("pairs out of order");
            code.length = file.number(f[2], 1, 32);
            code.bits = file.codeBits(f[3], code.length);
            table.codes.push_back(code);
        }
        data.pairTables.push_back(std::move(table));
    }
    data.count1A = readQuadTable(file, "A");
    data.count1B = readQuadTable(file, "B");
    if (!file.atEnd()) file.fail("unexpected record after count1 table B");
    return data;
}

BandData readBandData(const std::string& path) {
    RecordFile file(path);
    BandData data;
    for (const char* kind : {"long", "short"}) {
        const std::size_t fieldCount = 4 + (kind[0] == 'l' ? 23 : 14);
        auto& rows = kind[0] == 'l' ? data.longRows : data.shortRows;
        for (int32_t id = 0; id < 2; ++id) {
            for (int32_t sf = 0; sf < 3; ++sf) {
                const auto& f = file.take(fieldCount);
                file.expect(f[0], kind);
                BandRow row;
                row.id = file.number(f[1], id, id);
                row.samplingFrequency = file.number(f[2], sf, sf);
                row.rate = file.number(f[3], 8000, 48000);
                for (std::size_t i = 4; i < fieldCount; ++i) row.bounds.push_back(file.number(f[i], 0, 576));
                rows.push_back(std::move(row));
            }
        }
    }
    if (!file.atEnd()) file.fail("unexpected record after the short bands");
    return data;
}

HeaderData readHeaderData(const std::string& path) {
    RecordFile file(path);
    HeaderData data;
    for (int32_t i = 0; i < 6; ++i) {
        const auto& f = file.take(4);
        file.expect(f[0], "samplerate");
        const int32_t id = file.number(f[1], 0, 1);
        const int32_t sf = file.number(f[2], 0, 2);
        if (data.sampleRate[id][sf] != 0) file.fail("sample rate listed twice");
        data.sampleRate[id][sf] = file.number(f[3], 8000, 48000);
    }
    for (int32_t id : {1, 0}) {
        for (int32_t index = 0; index < 15; ++index) {
            const auto& f = file.take(4);
            file.expect(f[0], "bitrate");
            file.number(f[1], id, id);
            file.number(f[2], index, index);
            data.bitrateKbps[id][index] = file.number(f[3], 0, 320);
        }
    }
    if (!file.atEnd()) file.fail("unexpected record after the bit rates");
    return data;
}

}  // namespace primitives::mp3gen
