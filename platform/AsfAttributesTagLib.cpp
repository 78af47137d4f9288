// The ASF attribute store over TagLib.
#include "platform/AsfAttributes.h"

#include "platform/FileSystem.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <utility>

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

class TagLibAsfAttributes : public AsfAttributes {
public:
    bool open(const std::string& utf8Path) override {
        close();
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
