// The ASF attribute store over TagLib.
#include "platform/AsfAttributes.h"

#include "platform/FileSystem.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::u16string toUtf16(const TagLib::String& text) {
    std::u16string out;
    for (wchar_t c : text.toCWString() ? std::wstring(text.toCWString()) : std::wstring()) {
        auto code = static_cast<std::uint32_t>(c);
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

AsfAttributes::Bytes valueBytes(const TagLib::ASF::Attribute& attribute) {
    AsfAttributes::Bytes bytes;
    if (attribute.type() == TagLib::ASF::Attribute::BytesType) {
        TagLib::ByteVector data = attribute.toByteVector();
        bytes.assign(data.begin(), data.end());
    } else if (attribute.type() == TagLib::ASF::Attribute::UnicodeType) {
        for (char16_t c : toUtf16(attribute.toString())) {
            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
    }
    return bytes;
}

// Object GUIDs as stored (little-endian fields).
const std::uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const std::uint8_t kHeaderExtensionGuid[16] = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                               0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const std::uint8_t kExtendedContentGuid[16] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                               0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const std::uint8_t kMetadataGuid[16] = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                                        0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const std::uint8_t kMetadataLibraryGuid[16] = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                               0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

std::uint64_t little(const std::uint8_t* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

// Whether every attribute list among the objects in [at, end) declares no
// more records than its object can hold (each takes at least `least` bytes),
// and, where the whole header was read (`complete`), every object lies inside
// it: the library skips an object by its declared size, so a size past the
// end sends it back into earlier bytes, which it reads again as objects.
bool recordCountsFit(const std::vector<std::uint8_t>& header, std::size_t at, std::size_t end, bool nested,
                     bool complete) {
    while (at + 24 <= end) {
        const std::uint8_t* object = header.data() + at;
        const std::uint64_t size = little(object + 16, 8);
        if (complete && (size < 24 || size > end - at)) return false;
        if (size < 24) break;
        const std::size_t objectEnd = at + static_cast<std::size_t>(std::min<std::uint64_t>(size, end - at));
        std::size_t least = 0;
        if (std::memcmp(object, kExtendedContentGuid, 16) == 0) least = 6;
        if (std::memcmp(object, kMetadataGuid, 16) == 0 || std::memcmp(object, kMetadataLibraryGuid, 16) == 0)
            least = 12;
        if (least > 0 && at + 26 <= objectEnd && little(object + 24, 2) * least > objectEnd - (at + 26)) return false;
        if (!nested && std::memcmp(object, kHeaderExtensionGuid, 16) == 0 && at + 46 <= objectEnd &&
            !recordCountsFit(header, at + 46, objectEnd, true, complete))
            return false;
        if (size > end - at) break;
        at += static_cast<std::size_t>(size);
    }
    return true;
}

// TagLib reads as many objects and attribute records as a count says, past
// the header's or the object's end if need be: a few damaged bytes make it
// build millions of empty objects. Such a file is refused before TagLib
// reads it; anything else is left to TagLib.
bool attributeCountsFit(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[30];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) || std::memcmp(head, kHeaderGuid, 16) != 0) return true;
    constexpr std::uint64_t kLongestHeaderRead = std::uint64_t{1} << 24;
    const std::uint64_t declared = little(head + 16, 8);
    // A header shorter than its own fields: the library reads its objects
    // all the same, by the count, from wherever they fall.
    if (declared < sizeof head) return false;
    // No more room than the file can fill: a damaged size would otherwise
    // cost the whole read limit for every file opened.
    in.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
    in.seekg(sizeof head);
    std::vector<std::uint8_t> header(static_cast<std::size_t>(std::min({declared, kLongestHeaderRead, fileSize})));
    std::memcpy(header.data(), head, sizeof head);
    in.read(reinterpret_cast<char*>(header.data() + sizeof head), static_cast<std::streamsize>(header.size() - sizeof head));
    header.resize(sizeof head + static_cast<std::size_t>(in.gcount()));
    // The header's own object count, 24 bytes at least each.
    if (little(head + 24, 4) * 24 > header.size() - sizeof head) return false;
    // A header cut short by the file's end counts as read whole: its objects
    // cannot run past it either. Only a header and a file both longer than
    // the read limit leave objects unseen.
    const bool complete = declared <= kLongestHeaderRead || fileSize <= kLongestHeaderRead;
    return recordCountsFit(header, sizeof head, header.size(), false, complete);
}

class TagLibAsfAttributes : public AsfAttributes {
public:
    bool open(const std::string& utf8Path) override {
        close();
        if (!attributeCountsFit(utf8Path)) return false;
        TagLib::ASF::File file(utf8Path.c_str(), false);
        if (!file.isValid() || file.tag() == nullptr) {
            return false;
        }
        const TagLib::ASF::Tag* tag = file.tag();
        for (const auto& [name, list] : tag->attributeListMap()) {
            auto& values = values_[name.to8Bit(true)];
            for (const auto& attribute : list) {
                if (attribute.stream() == 0) {
                    values.push_back(valueBytes(attribute));
                }
            }
        }
        texts_[AsfText::Title] = toUtf16(tag->title());
        texts_[AsfText::Author] = toUtf16(tag->artist());
        texts_[AsfText::Description] = toUtf16(tag->comment());
        texts_[AsfText::AlbumTitle] = attributeText(*tag, "WM/AlbumTitle");
        texts_[AsfText::Year] = attributeText(*tag, "WM/Year");
        path_ = utf8Path;
        return true;
    }

    void close() override {
        path_.clear();
        values_.clear();
        texts_.clear();
        edits_.clear();
    }

    std::vector<Bytes> values(const std::string& name) const override {
        auto found = values_.find(name);
        return found == values_.end() ? std::vector<Bytes>{} : found->second;
    }

    void addBinary(const std::string& name, const Bytes& value) override {
        values_[name].push_back(value);
        edits_.push_back({name, value, true});
    }

    void remove(const std::string& name) override {
        values_.erase(name);
        edits_.push_back({name, {}, false});
    }

    std::optional<std::u16string> text(AsfText which) const override {
        auto found = texts_.find(which);
        if (found == texts_.end() || found->second.empty()) {
            return std::nullopt;
        }
        return found->second;
    }

    bool save() override {
        if (path_.empty()) {
            return false;
        }
        const std::string temporary = path_ + ".tmp";
        std::string bytes;
        if (!readWholeFile(path_, bytes) || !writeCopy(temporary, bytes)) {
            removeFile(temporary);
            return false;
        }
        bool saved = false;
        {
            TagLib::ASF::File file(temporary.c_str(), false);
            if (file.isValid() && file.tag() != nullptr) {
                TagLib::ASF::Tag* tag = file.tag();
                for (const Edit& edit : edits_) {
                    const TagLib::String name(edit.name, TagLib::String::UTF8);
                    if (edit.add) {
                        TagLib::ASF::Attribute attribute(TagLib::ByteVector(
                            reinterpret_cast<const char*>(edit.value.data()),
                            static_cast<unsigned int>(edit.value.size())));
                        attribute.setStream(0);
                        attribute.setLanguage(0);
                        tag->addAttribute(name, attribute);
                    } else {
                        tag->removeItem(name);
                    }
                }
                saved = file.save();
            }
        }
        if (!saved || !renameFile(temporary, path_)) {
            removeFile(temporary);
            return false;
        }
        edits_.clear();
        return true;
    }

private:
    struct Edit {
        std::string name;
        Bytes value;
        bool add;
    };

    static std::u16string attributeText(const TagLib::ASF::Tag& tag, const char* name) {
        const auto& map = tag.attributeListMap();
        auto found = map.find(name);
        if (found == map.end() || found->second.isEmpty()) {
            return {};
        }
        return toUtf16(found->second.front().toString());
    }

    static bool writeCopy(const std::string& path, const std::string& bytes) {
        DiskFile* file = DiskFile::open(path, DiskFile::Mode::Write);
        if (file == nullptr) {
            return false;
        }
        bool written = file->write(bytes.data(), bytes.size());
        bool closed = file->close();
        delete file;
        return written && closed;
    }

    std::string path_;
    std::map<std::string, std::vector<Bytes>> values_;
    std::map<AsfText, std::u16string> texts_;
    std::vector<Edit> edits_;
};

}  // namespace

std::unique_ptr<AsfAttributes> createAsfAttributes() {
    return std::make_unique<TagLibAsfAttributes>();
}

}  // namespace platform
