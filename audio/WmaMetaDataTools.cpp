#include "audio/WmaMetaDataTools.h"

#include "audio/MetaDataFile.h"
#include "audio/SampleDiskWMA.h"
#include "audio/WavMetaDataTools.h"
#include "framework/FileMemory.h"
#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "framework/Support.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr const char* mergeCaption = "Cannot Merge";
constexpr const char* splitCaption = "Cannot Strip / Split";

std::unique_ptr<SampleDiskWMA> openSong(const std::string& path) {
    return std::make_unique<SampleDiskWMA>(path, FormatAudio(), 1.0f, false);
}

std::unique_ptr<FileMemory> memoryOf(const std::string& bytes) {
    auto file = std::make_unique<FileMemory>(static_cast<int>(bytes.size()));
    if (!bytes.empty()) file->write(bytes.data(), static_cast<int>(bytes.size()));
    file->seek(0);
    return file;
}

}  // namespace

bool mergeWmaMetaData(const std::string& path) {
    if (!hasWmaExtension(path)) return false;
    SideFiles sides;
    if (!sides.load(path, mergeCaption) || !sides.any()) return true;
    try {
        std::unique_ptr<SampleDiskWMA> song = openSong(path);
        if (!song->removeAttributes()) throw StringException("Could not remove QRT metadata from .wma file.");
        std::unique_ptr<FileMemory> qrt = sides.hasQrt ? memoryOf(sides.qrt) : nullptr;
        std::unique_ptr<FileMemory> png = sides.hasPng ? memoryOf(sides.png) : nullptr;
        if (!song->writeAttributes(qrt.get(), png.get()))
            throw StringException(sides.hasQrt ? "Could not write QRT metadata in .wma file."
                                               : "Could not write PNG metadata in .wma file.");
    } catch (const StringException& error) {
        showMessage(mergeCaption, error.what());
        return true;
    }
    sides.remove();
    return true;
}

bool splitWmaMetaData(const std::string& path, bool stripOnly) {
    if (!hasWmaExtension(path)) return false;
    try {
        std::unique_ptr<SampleDiskWMA> song = openSong(path);
        std::int32_t sizes[2] = {};
        const bool present[2] = {song->qrtSize(sizes[0]), song->pngSize(sizes[1])};
        if (!present[0] && !present[1]) return true;
        if (!stripOnly) {
            // Each side file is written whole under a fresh name, then takes
            // its name; the attributes go only after all of them.
            const char* extensions[2] = {"qrt", "png"};
            std::vector<std::unique_ptr<MetaDataOutput>> parts;
            std::vector<std::pair<std::string, std::string>> renames;
            for (int i = 0; i < 2; ++i) {
                if (!present[i]) continue;
                FileMemory bytes(sizes[i]);
                song->readAttributes(i == 0 ? &bytes : nullptr, i == 1 ? &bytes : nullptr);
                const std::string side = withExtension(path, extensions[i]);
                parts.push_back(std::make_unique<MetaDataOutput>(uniqueBeside(side)));
                parts.back()->write(bytes.data(), static_cast<std::size_t>(sizes[i]));
                parts.back()->close();
                renames.emplace_back(parts.back()->path(), side);
            }
            for (const auto& [part, side] : renames)
                if (!platform::renameFile(part, side)) throw StringException("Cannot write file " + side + ".");
            for (auto& part : parts) part->commit();
        }
        if (!song->removeAttributes()) throw StringException("Could not remove QRT metadata from .wma file.");
    } catch (const StringException& error) {
        showMessage(splitCaption, error.what());
    }
    return true;
}

bool stripWmaMetaData(const std::string& path) { return splitWmaMetaData(path, true); }
