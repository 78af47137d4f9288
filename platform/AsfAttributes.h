// The attributes inside a WMA (ASF) file: named values of stream 0 and the
// five descriptive texts. Edits are kept until save(), which writes the
// edited song under a temporary name beside it and renames that over the
// song, so a failing save leaves the song as it was and the audio data is
// never rewritten. The TagLib implementation is in AsfAttributesTagLib.cpp.
#ifndef VELKARN_PLATFORM_ASFATTRIBUTES_H
#define VELKARN_PLATFORM_ASFATTRIBUTES_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

enum class AsfText { Title, Author, Description, AlbumTitle, Year };

class AsfAttributes {
public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~AsfAttributes() = default;

    // Reads the attributes of a file (UTF-8 path); false when it is not ASF,
    // or when its header declares more objects, or an attribute list more
    // records, than it holds.
    virtual bool open(const std::string& utf8Path) = 0;
    virtual void close() = 0;

    // Every value of the name in stream 0, in file order (byte arrays as
    // they are, texts as UTF-16LE without terminator).
    virtual std::vector<Bytes> values(const std::string& name) const = 0;
    // Adds a byte-array value in stream 0, language 0.
    virtual void addBinary(const std::string& name, const Bytes& value) = 0;
    // Removes every value of the name.
    virtual void remove(const std::string& name) = 0;
    // A text as UTF-16; empty or missing fields are absent.
    virtual std::optional<std::u16string> text(AsfText which) const = 0;

    // Writes the edits into the song; false (song unchanged) on failure.
    virtual bool save() = 0;
};

std::unique_ptr<AsfAttributes> createAsfAttributes();

// Attributes held in memory: the scripted fake of the tests.
class FakeAsfAttributes : public AsfAttributes {
public:
    struct Script {
        bool openFails = false;
        bool saveFails = false;
        std::map<std::string, std::vector<Bytes>> values;
        std::map<AsfText, std::u16string> texts;
    };

    explicit FakeAsfAttributes(Script script) : script_(std::move(script)) {}

    bool open(const std::string& utf8Path) override;
    void close() override {}
    std::vector<Bytes> values(const std::string& name) const override;
    void addBinary(const std::string& name, const Bytes& value) override;
    void remove(const std::string& name) override;
    std::optional<std::u16string> text(AsfText which) const override;
    bool save() override;

    int saves() const { return saves_; }
    // What the last successful save wrote.
    const std::map<std::string, std::vector<Bytes>>& saved() const { return saved_; }

private:
    Script script_;
    std::map<std::string, std::vector<Bytes>> saved_;
    int saves_ = 0;
};

}  // namespace platform

#endif
