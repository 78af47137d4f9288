#include "FrameworkTest.h"
#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/ID3v2Tag.h"
#include "framework/FileDisk.h"
#include "framework/StringException.h"

#include <cstring>
#include <map>
#include <sstream>

using fixtures::Id3Frame;
using fixtures::Id3Tag;
using fixtures::commentBody;
using fixtures::textBody;

namespace {

std::string orNull(const char* text) { return text != nullptr ? std::string(text) : std::string("<null>"); }

struct Texts {
    std::string title, artist, album, comment, year;
    bool operator==(const Texts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Texts& t) {
    return out << "{" << t.title << " | " << t.artist << " | " << t.album << " | " << t.comment << " | " << t.year << "}";
}

Texts textsOf(const ID3v2Tag& tag) {
    return Texts{orNull(tag.title()), orNull(tag.artist()), orNull(tag.album()), orNull(tag.comment()), orNull(tag.year())};
}

Texts readTag(const std::string& bytes) {
    auto file = fixtures::memoryFile(bytes);
    return textsOf(ID3v2Tag(*file));
}

Texts readTagFile(const std::string& path) {
    FileDisk file(path, true, false);
    return textsOf(ID3v2Tag(file));
}

// UTF-8 of Latin-1 letters (what the tools print) to Latin-1 bytes.
std::string latin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC2 && c <= 0xC3 && i + 1 < utf8.size()) {
            out.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// "field=value;encoding=n" lines of the mutagen script.
std::map<std::string, std::string> mutagenFields(const std::string& printed) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);) {
        std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        fields[line.substr(0, equals)] = latin1(value.substr(0, value.find(";encoding=")));
    }
    return fields;
}

const std::vector<Id3Frame> basicFrames = {
    {"TIT2", textBody("Title")}, {"TPE1", textBody("Artist")}, {"TALB", textBody("Album")},
    {"COMM", commentBody("desc", "Hello")}, {"TYER", textBody("2001")},
};
const Texts basicTexts{"Title", "Artist", "Album", "Hello", "2001"};

class Id3v2 : public FrameworkTest {
protected:
    testing_support::TemporaryDirectory directory_;
};

TEST_F(Id3v2, FfmpegVersion3TagsGiveTheTextFramesButNotItsComment) {
    const std::string plain = directory_.file("plain.mp3");
    const std::string tagged = directory_.file("tagged.mp3");
    fixtures::makeLameMp3(plain, 0.3);
    fixtures::runTool({"ffmpeg", "-v", "error", "-y", "-i", plain, "-c", "copy", "-id3v2_version", "3", "-metadata",
                       "title=My Title", "-metadata", "artist=Some Artist", "-metadata", "album=An Album", "-metadata",
                       "date=2019", "-metadata", "comment=A comment", tagged});
    // The comment goes into a "TXXX" frame, which is not read.
    EXPECT_EQ(readTagFile(tagged), (Texts{"My Title", "Some Artist", "An Album", "<null>", "2019"}));

    // Version 4 text frames are UTF-8 (encoding 3): all absent, the walk
    // still ends cleanly at the padding.
    const std::string tagged4 = directory_.file("tagged4.mp3");
    fixtures::runTool({"ffmpeg", "-v", "error", "-y", "-i", plain, "-c", "copy", "-id3v2_version", "4", "-metadata",
                       "title=My Title", "-metadata", "artist=Some Artist", "-metadata", "album=An Album", tagged4});
    FileDisk file(tagged4, true, false);
    ID3v2Tag tag(file);
    EXPECT_EQ(tag.version(), 4);
    EXPECT_EQ(textsOf(tag), (Texts{"<null>", "<null>", "<null>", "<null>", "<null>"}));
    EXPECT_LE(file.position(), tag.tagEnd());
}

TEST_F(Id3v2, MutagenTagsReadAsMutagenReadsThem) {
    for (const char* version : {"3", "4"}) {
        SCOPED_TRACE(version);
        const std::string path = directory_.file(std::string("mutagen") + version + ".mp3");
        fixtures::makeLameMp3(path, 0.2);
        std::map<std::string, std::string> fields =
            mutagenFields(fixtures::runTool({"/usr/bin/python3", testing_support::sourceDirectory() + "/tests/audio/id3_mutagen.py",
                                             path, version, "latin1"}));
        ASSERT_EQ(fields["version"], version);
        ASSERT_EQ(fields["comments"], "2");
        // Of the two COMM frames the first wins.
        EXPECT_EQ(fields["comment"], "First comment");
        EXPECT_EQ(readTagFile(path), (Texts{fields["title"], fields["artist"], fields["album"], fields["comment"], fields["year"]}));
        EXPECT_EQ(fields["title"], "Caf\xe9 Title");

        const std::string wide = directory_.file(std::string("wide") + version + ".mp3");
        fixtures::makeLameMp3(wide, 0.2);
        fields = mutagenFields(fixtures::runTool({"/usr/bin/python3", testing_support::sourceDirectory() + "/tests/audio/id3_mutagen.py",
                                                  wide, version, "utf16title"}));
        ASSERT_EQ(fields["title"], "Wide Title");
        // The UTF-16 title is absent and the walk goes on to the artist.
        EXPECT_EQ(readTagFile(wide), (Texts{"<null>", fields["artist"], "<null>", "<null>", "<null>"}));
    }
}

TEST_F(Id3v2, RefusedTags) {
    Id3Tag v22{2, 0, 0, "", basicFrames};
    Id3Tag revision1{3, 1, 0, "", basicFrames};
    Id3Tag v5{5, 0, 0, "", basicFrames};
    Id3Tag hugeExtended{3, 0, 0x40, fixtures::uint32be(1000), basicFrames};
    Id3Tag shortExtended{4, 0, 0x40, fixtures::syncsafe(2), basicFrames};
    Id3Tag cutExtended{3, 0, 0x40, "", {}};
    cutExtended.sizeField = 2;
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"no tag", "RIFF....WAVE", "No ID3v2 identifier at beginning of file."},
        {"empty file", "", "No ID3v2 identifier at beginning of file."},
        {"version 2.2", fixtures::writeId3(v22), "ID3v2 tag is not version 3.0 or 4.0."},
        {"revision 1", fixtures::writeId3(revision1), "ID3v2 tag is not version 3.0 or 4.0."},
        {"version 2.5", fixtures::writeId3(v5), "ID3v2 tag is not version 3.0 or 4.0."},
        {"extended header past the tag", fixtures::writeId3(hugeExtended), "ID3v2 tag corrupt."},
        {"extended header size below its own four bytes", fixtures::writeId3(shortExtended), "ID3v2 tag corrupt."},
        {"extended header cut off", fixtures::writeId3(cutExtended).substr(0, 12), "ID3v2 tag corrupt."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_STRING_EXCEPTION(readTag(c.bytes), c.text);
    }
}

TEST_F(Id3v2, ExtendedHeadersFlagsPaddingAndFooter) {
    auto with = [](int major, std::uint8_t flags, std::string extended, int padding = 0, bool footer = false) {
        Id3Tag tag{major, 0, flags, std::move(extended), basicFrames};
        tag.padding = padding;
        tag.footer = footer;
        return fixtures::writeId3(tag) + std::string("\xff\xfb\x90\x00 audio follows", 18);
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"v2.3 plain", with(3, 0, "")},
        // Version 3: a plain size leaving out its own four bytes.
        {"v2.3 extended header of 6", with(3, 0x40, fixtures::uint32be(6) + std::string(6, '\x00'))},
        {"v2.3 extended header of 10 (with CRC)", with(3, 0x40, fixtures::uint32be(10) + std::string("\x80\x00", 2) + std::string(8, '\x01'))},
        // Version 4: a syncsafe size counting its own four bytes.
        {"v2.4 extended header of 6", with(4, 0x40, fixtures::syncsafe(6) + std::string("\x01\x00", 2))},
        {"v2.4 extended header of 12", with(4, 0x40, fixtures::syncsafe(12) + std::string("\x01\x20\x05\x05\x05\x05\x05\x05", 8))},
        {"v2.3 padding", with(3, 0, "", 300)},
        {"v2.4 padding and footer", with(4, 0x10, "", 64, true)},
        {"v2.3 unsynchronisation and experimental flags", with(3, 0xA0, "")},
        {"v2.3 undefined low flag bits", with(3, 0x1F, "")},
        {"v2.4 unsynchronisation, experimental and footer", with(4, 0xB0, "", 0, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readTag(c.bytes), basicTexts);
    }
    Id3Tag footer{4, 0, 0x10, "", basicFrames};
    footer.padding = 7;
    footer.footer = true;
    auto file = fixtures::memoryFile(fixtures::writeId3(footer));
    EXPECT_EQ(ID3v2Tag(*file).tagEnd(), static_cast<std::int64_t>(fixtures::writeId3(footer).size()));
}

TEST_F(Id3v2, FrameFlagsThatHideTheTextSkipTheFrame) {
    // Second flag byte, one bit at a time: which of them make the frame
    // unreadable in each version.
    for (int major : {3, 4}) {
        for (int bit = 0; bit < 8; ++bit) {
            std::uint8_t flag = static_cast<std::uint8_t>(1u << bit);
            bool skipped = (flag & (major == 3 ? 0xE0 : 0x4D)) != 0;
            std::vector<Id3Frame> frames = basicFrames;
            frames[0].flags1 = flag;
            frames[1].flags0 = flag;  // the first flag byte never matters
            Texts expected = basicTexts;
            if (skipped) expected.title = "<null>";
            EXPECT_EQ(readTag(fixtures::writeId3(Id3Tag{major, 0, 0, "", frames})), expected)
                << "version " << major << " bit " << bit;
        }
    }
}

TEST_F(Id3v2, FrameSizesPerVersion) {
    // The size bytes 00 00 01 00: 256 in version 3, 128 in version 4.
    const std::string body128 = textBody(std::string(127, 'a'));
    const std::string body256 = textBody(std::string(255, 'b'));
    for (int major : {3, 4}) {
        Id3Tag tag{major, 0, 0, "", {{"TIT2", major == 3 ? body256 : body128}, {"TPE1", textBody("Next")}}};
        std::string bytes = fixtures::writeId3(tag);
        EXPECT_EQ(bytes.substr(14, 4), std::string("\x00\x00\x01\x00", 4)) << major;
        EXPECT_EQ(readTag(bytes).title, major == 3 ? std::string(255, 'b') : std::string(127, 'a'));
        EXPECT_EQ(readTag(bytes).artist, "Next");
    }
}

TEST_F(Id3v2, OddFramesAndTheirNeighbours) {
    const struct {
        const char* what;
        std::vector<Id3Frame> frames;
        Texts expected;
    } cases[] = {
        {"size-0 text frame is skipped",
         {{"TIT2", ""}, {"TPE1", textBody("Artist")}},
         {"<null>", "Artist", "<null>", "<null>", "<null>"}},
        {"encoding byte only", {{"TIT2", textBody("")}}, {"", "<null>", "<null>", "<null>", "<null>"}},
        {"UTF-16 title, Latin-1 artist",
         {{"TIT2", textBody(std::string("\xff\xfeT\0", 4), 1)}, {"TPE1", textBody("Artist")}},
         {"<null>", "Artist", "<null>", "<null>", "<null>"}},
        {"two comments: the first wins",
         {{"COMM", commentBody("", "One")}, {"COMM", commentBody("", "Two")}},
         {"<null>", "<null>", "<null>", "One", "<null>"}},
        {"a UTF-16 comment does not count as read",
         {{"COMM", commentBody("", "Wide", 1)}, {"COMM", commentBody("", "Narrow")}},
         {"<null>", "<null>", "<null>", "Narrow", "<null>"}},
        {"comment shorter than 4 is skipped",
         {{"COMM", std::string("\0en", 3)}, {"TALB", textBody("Album")}},
         {"<null>", "<null>", "Album", "<null>", "<null>"}},
        {"comment with a description and nothing after it",
         {{"COMM", std::string("\0engdesc\0", 9)}, {"COMM", commentBody("d", "Later")}},
         {"<null>", "<null>", "<null>", "Later", "<null>"}},
        {"comment text ends at its NUL",
         {{"COMM", commentBody("", std::string("Hello\0junk", 10))}},
         {"<null>", "<null>", "<null>", "Hello", "<null>"}},
        {"unknown frames are skipped", {{"TXXX", textBody("x\0y")}, {"TYER", textBody("1987")}},
         {"<null>", "<null>", "<null>", "<null>", "1987"}},
        {"only TYER gives the year", {{"TDRC", textBody("2020")}}, {"<null>", "<null>", "<null>", "<null>", "<null>"}},
    };
    for (int major : {3, 4}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " v" + std::to_string(major));
            Id3Tag tag{major, 0, 0, "", c.frames};
            tag.padding = 20;
            EXPECT_EQ(readTag(fixtures::writeId3(tag)), c.expected);
        }
    }
}

TEST_F(Id3v2, AFrameRunningPastTheTagEndsTheWalkAndKeepsWhatWasRead) {
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        Id3Tag tag{major, 0, 0, "", {{"TIT2", textBody("Kept")}, {"TPE1", textBody("Lost"), 0, 0, 200000}}};
        EXPECT_EQ(readTag(fixtures::writeId3(tag) + std::string(50, 'z')), (Texts{"Kept", "<null>", "<null>", "<null>", "<null>"}));
        // A tag size past the end of the file: the frames present are read.
        Id3Tag longer{major, 0, 0, "", {{"TIT2", textBody("Kept")}, {"TALB", textBody("Cut short")}}};
        longer.sizeField = 100000;
        std::string bytes = fixtures::writeId3(longer);
        EXPECT_EQ(readTag(bytes.substr(0, bytes.size() - 3)).title, "Kept");
        EXPECT_EQ(readTag(bytes.substr(0, bytes.size() - 3)).album, "<null>");
    }
}

TEST_F(Id3v2, SongTagsFromId3v1ByLame) {
    const std::string wav = directory_.file("tone.wav");
    fixtures::makeSoxWav(wav, 0.2);
    const struct {
        const char* what;
        std::vector<std::string> options;
        Texts expected;
    } cases[] = {
        {"plain fields", {"--tt", "Title", "--ta", "Artist", "--tl", "Album", "--ty", "1994", "--tc", "Comment"},
         {"Title", "Artist", "Album", "Comment", "1994"}},
        {"cut at 30 and trimmed",
         {"--tt", "  Padded Title  ", "--ta", std::string(40, 'A'), "--tl", "Album   ", "--ty", "2001", "--tc", " c "},
         {"Padded Title", std::string(30, 'A'), "Album", "c", "2001"}},
        {"blanks only give empty texts", {"--tt", "     ", "--ta", " ", "--ty", "    "}, {"", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string mp3 = directory_.file("v1.mp3");
        std::vector<std::string> argv{"lame", "--quiet", "--id3v1-only"};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.push_back(wav);
        argv.push_back(mp3);
        fixtures::runTool(argv);
        std::string bytes = testing_support::readFile(mp3);
        ASSERT_GE(bytes.size(), 128u);
        ASSERT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
        SongTags tags;
        tags.fromId3v1(reinterpret_cast<const std::uint8_t*>(bytes.data() + bytes.size() - 128));
        EXPECT_EQ((Texts{tags.title, tags.artist, tags.album, tags.comment, tags.year}), c.expected);
    }
}

TEST_F(Id3v2, SongTagsFromId3v2CutAndTrim) {
    Id3Tag tag{3, 0, 0, "", {{"TIT2", textBody("  Spaced  ")}, {"TPE1", textBody(std::string(200, 'x'))},
                             {"COMM", commentBody("", "   ")}}};
    auto file = fixtures::memoryFile(fixtures::writeId3(tag));
    ID3v2Tag read(*file);
    SongTags tags;
    std::strcpy(tags.album, "stale");
    tags.bpm = 99.0f;
    tags.fromId3v2(read);
    EXPECT_STREQ(tags.title, "Spaced");
    EXPECT_EQ(std::string(tags.artist), std::string(127, 'x'));
    EXPECT_STREQ(tags.album, "");
    EXPECT_STREQ(tags.comment, "");
    EXPECT_STREQ(tags.year, "");
    EXPECT_EQ(tags.bpm, 99.0f);
}

TEST_F(Id3v2, SyncsafeDecoding) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {std::string("\x00\x00\x00\x00", 4), 0}, {std::string("\x00\x00\x01\x00", 4), 128},
        {std::string("\x00\x00\x02\x01", 4), 257}, {std::string("\x7f\x7f\x7f\x7f", 4), 0x0FFFFFFF},
        {std::string("\x01\x00\x00\x00", 4), 1 << 21},
    };
    for (const auto& [bytes, value] : cases)
        EXPECT_EQ(decodeSyncsafe(reinterpret_cast<const std::uint8_t*>(bytes.data())), value);
}

}  // namespace
