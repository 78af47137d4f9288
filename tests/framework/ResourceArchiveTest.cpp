#include "FrameworkTest.h"

#include "framework/FileDisk.h"
#include "framework/FileResource.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "framework/packer/ArchivePacker.h"

#include <memory>
#include <sstream>

namespace {

using testing_support::TemporaryDirectory;
using testing_support::writeFile;

// A small tree like the program's resources, with the cases that matter:
// nested names, an empty file, a name that sorts by bytes, hidden files.
struct FixtureTree {
    TemporaryDirectory root;
    std::vector<std::pair<std::string, std::string>> files = {
        {"images/beatMapper/background/main.png", std::string("\x89PNG\r\n\x1a\n\0\0body", 14)},
        {"samples/cowbell.wav", "RIFF....WAVEfmt "},
        {"other/readme.txt", "Velkarn resources.\n"},
        {"dialogs/103.dlg", "size 1 1\n"},
        {"empty", ""},
        {"Zebra", "capital letters sort first"},
    };
    FixtureTree() {
        for (const auto& [name, bytes] : files) {
            std::string path = root.file(name);
            testing_support::makeDirectories(path.substr(0, path.find_last_of('/')));
            writeFile(path, bytes);
        }
        testing_support::makeDirectories(root.file(".git"));
        writeFile(root.file(".git/config"), "hidden");
        writeFile(root.file("images/.swap"), "hidden");
    }
};

class ResourceArchive : public FrameworkTest {
protected:
    void TearDown() override {
        cleanUpFileSystem();
        FrameworkTest::TearDown();
    }

    void useArchive(const std::string& archive) {
        archive_ = archive;
        supportSettings().archiveMode = true;
        initializeFileSystemFrom(reinterpret_cast<const std::uint8_t*>(archive_.data()), archive_.size());
    }

    std::string archive_;
};

TEST_F(ResourceArchive, APackedTreeReadsBackWithAnIndependentReader) {
    FixtureTree tree;
    std::string archive;
    std::string error;
    ASSERT_TRUE(packArchive(tree.root.path(), archive, error)) << error;
    TemporaryDirectory out;
    writeFile(out.file("archive"), archive);
    std::istringstream lines(testing_support::runPython("framework/archive_reader.py", {out.file("archive")}));

    std::vector<std::string> names;
    std::string name;
    long offset;
    long length;
    std::string digest;
    while (lines >> name >> offset >> length >> digest) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Zebra", "dialogs/103.dlg", "empty", "images/beatMapper/background/main.png",
                                               "other/readme.txt", "samples/cowbell.wav"}));

    // The program's own index finds every entry with its exact bytes.
    useArchive(archive);
    for (const auto& [entryName, bytes] : tree.files) {
        ASSERT_TRUE(archiveContains(entryName)) << entryName;
        std::unique_ptr<File> file(openFile(entryName, false, false));
        ASSERT_NE(dynamic_cast<FileResource*>(file.get()), nullptr);
        ASSERT_EQ(file->size(), static_cast<int>(bytes.size())) << entryName;
        std::string read(bytes.size(), '\0');
        if (!bytes.empty()) {
            EXPECT_TRUE(file->read(read.data(), file->size()));
        }
        EXPECT_EQ(read, bytes) << entryName;
    }
    EXPECT_FALSE(archiveContains(".git/config"));
}

TEST_F(ResourceArchive, OpenFileChoosesBetweenArchiveAndDisk) {
    FixtureTree tree;
    std::string archive;
    std::string error;
    ASSERT_TRUE(packArchive(tree.root.path(), archive, error));
    useArchive(archive);

    TemporaryDirectory disk;
    writeFile(disk.file("x.wav"), "disk");
    std::unique_ptr<File> absolute(openFile(disk.file("x.wav"), true, false));
    EXPECT_NE(dynamic_cast<FileDisk*>(absolute.get()), nullptr);
    std::unique_ptr<File> written(openFile(disk.file("new.wav"), true, true));
    EXPECT_NE(dynamic_cast<FileDisk*>(written.get()), nullptr);

    EXPECT_STRING_EXCEPTION(openFile("samples/cowbell.wav", false, true), "Cannot write into resource section.");
    EXPECT_FALSE(fileExists("Samples/Cowbell.wav", false));  // names compare exactly
    EXPECT_TRUE(fileExists("samples/cowbell.wav", false));
    EXPECT_TRUE(fileExists(disk.file("x.wav"), true));
    EXPECT_FALSE(fileExists(disk.file("y.wav"), true));
}

TEST_F(ResourceArchive, AnEntryReadsToItsLengthAndNoFurther) {
    FixtureTree tree;
    std::string archive;
    std::string error;
    ASSERT_TRUE(packArchive(tree.root.path(), archive, error));
    useArchive(archive);
    FileResource file("samples/cowbell.wav");
    const int n = file.size();
    ASSERT_EQ(n, 16);
    std::string bytes(static_cast<std::size_t>(n) + 1, '\0');
    EXPECT_TRUE(file.read(bytes.data(), n));
    EXPECT_FALSE(file.read(bytes.data(), 1));
    EXPECT_TRUE(file.seek(n));
    EXPECT_FALSE(file.seek(n + 1));
    EXPECT_FATAL(file.write("x", 1), "Cannot write into a resource.");
    EXPECT_FATAL(FileResource("samples/missing.wav"), "File not found: samples/missing.wav.");
}

TEST_F(ResourceArchive, WithTheArchiveOffNamesComeFromTheFilesDirectory) {
    TemporaryDirectory directory;
    supportSettings().archiveMode = false;
    supportSettings().filesDirectory = directory.path() + "/";
    testing_support::makeDirectories(directory.file("samples"));
    writeFile(directory.file("samples/click.wav"), "click");
    const std::uint8_t garbage[3] = {1, 2, 3};  // not even looked at
    initializeFileSystemFrom(garbage, sizeof garbage);
    std::unique_ptr<File> file(openFile("samples/click.wav", false, false));
    EXPECT_NE(dynamic_cast<FileDisk*>(file.get()), nullptr);
    EXPECT_EQ(file->size(), 5);
    EXPECT_TRUE(fileExists("samples/click.wav", false));
    EXPECT_FALSE(archiveContains("samples/click.wav"));
    cleanUpFileSystem();
}

TEST_F(ResourceArchive, ACorruptArchiveIsResourceTrouble) {
    FixtureTree tree;
    std::string good;
    std::string error;
    ASSERT_TRUE(packArchive(tree.root.path(), good, error));

    auto withWord = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
        return bytes;
    };
    const std::size_t firstLength = 4 + std::string("Zebra").size() + 1 + 4;
    const std::string cases[] = {
        good.substr(0, good.size() - 1),        // the last entry runs past the end
        good.substr(0, 20),                     // cut inside the index
        withWord(0, 0x7FFFFFFF),                // a count that cannot fit
        withWord(firstLength, 0x10000000),      // a length past the end
        withWord(firstLength - 4, 0xFFFFFFF0),  // an offset past the end
        std::string("\x01\x00\x00\x00name-without-end", 20),
        std::string("\x01\x00", 2),
    };
    for (const auto& corrupt : cases) {
        archive_ = corrupt;
        supportSettings().archiveMode = true;
        EXPECT_FATAL(initializeFileSystemFrom(reinterpret_cast<const std::uint8_t*>(archive_.data()), archive_.size()),
                     "Resource trouble.");
    }
}

TEST_F(ResourceArchive, NamesOf500BytesOrMoreFailThePacker) {
    TemporaryDirectory root;
    std::string directory(250, 'd');
    testing_support::makeDirectories(root.file(directory));
    writeFile(root.file(directory + "/" + std::string(248, 'f')), "fits");  // 499 bytes with its end
    std::string archive;
    std::string error;
    EXPECT_TRUE(packArchive(root.path(), archive, error)) << error;
    writeFile(root.file(directory + "/" + std::string(249, 'g')), "too long");
    EXPECT_FALSE(packArchive(root.path(), archive, error));
    EXPECT_NE(error.find("too long for the archive"), std::string::npos);
    // The build stops: the packing program fails.
    EXPECT_EQ(testing_support::runProgram({VELKARN_PACKER, root.path(), root.file("out")}, root.file("log")), 1);
}

TEST_F(ResourceArchive, FurtherTreesPackUnderTheirPrefixAndMayNotRepeatAName) {
    FixtureTree tree;
    TemporaryDirectory skin;
    testing_support::makeDirectories(skin.file("velkarn/button"));
    writeFile(skin.file("velkarn/button/playUp.png"), "up");
    writeFile(skin.file("velkarn/button/.playUp.png.new"), "hidden");
    std::string archive;
    std::string error;
    ASSERT_TRUE(packArchive({{"", tree.root.path()}, {"images", skin.path()}}, archive, error)) << error;
    useArchive(archive);
    EXPECT_TRUE(archiveContains("images/velkarn/button/playUp.png"));
    EXPECT_TRUE(archiveContains("images/beatMapper/background/main.png"));
    EXPECT_FALSE(archiveContains("velkarn/button/playUp.png"));
    EXPECT_FALSE(archiveContains("images/velkarn/button/.playUp.png.new"));
    cleanUpFileSystem();

    // The same tree twice under one prefix gives every name twice.
    EXPECT_FALSE(packArchive({{"images", skin.path()}, {"images", skin.path()}}, archive, error));
    EXPECT_EQ(error, "The name images/velkarn/button/playUp.png comes from two trees.");
    // The packing program takes trees as <prefix>=<directory>.
    EXPECT_EQ(testing_support::runProgram({VELKARN_PACKER, tree.root.path(), skin.file("out"), "images=" + skin.path(),
                                           "images=" + skin.path()},
                                          skin.file("log")),
              1);
    EXPECT_EQ(testing_support::runProgram({VELKARN_PACKER, tree.root.path(), skin.file("out"), skin.path()},
                                          skin.file("log")),
              2);
}

TEST_F(ResourceArchive, TheBuiltInArchiveHoldsTheResourcesTree) {
    supportSettings().archiveMode = true;
    initializeFileSystem();
    ASSERT_TRUE(archiveContains("dialogs/103.dlg"));
    std::unique_ptr<File> file(openFile("dialogs/103.dlg", false, false));
    std::string text(static_cast<std::size_t>(file->size()), '\0');
    ASSERT_TRUE(file->read(text.data(), file->size()));
    EXPECT_EQ(text, testing_support::readFile(testing_support::sourceDirectory() + "/resources/dialogs/103.dlg"));
}

}  // namespace
