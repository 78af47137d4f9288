#include "audio/Mp3MetaDataTools.h"

#include "audio/MetaDataFile.h"
#include "audio/Mp3EndBlock.h"
#include "audio/WavMetaDataTools.h"
#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "framework/Support.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr const char* mergeCaption = "Cannot Merge";
constexpr const char* splitCaption = "Cannot Strip / Split";
constexpr const char* renameFailure = "Cannot rename file (file might be playing).";

Mp3EndBlock layoutOf(MetaDataInput& input) {
    return Mp3EndBlock::find(input.size(), [&input](std::int64_t at, void* buffer, std::size_t count) {
        return input.readAt(at, buffer, count);
    });
}

std::string readBytes(MetaDataInput& input, std::int64_t at, std::size_t count) {
    std::string bytes(count, '\0');
    if (count > 0) input.mustReadAt(at, bytes.data(), count);
    return bytes;
}

// The song's "tmp" name, or empty with the box shown when it is taken.
std::string freeTemporary(const std::string& path, const char* caption) {
    std::string temporary = withExtension(path, "tmp");
    if (platform::pathExists(temporary)) {
        showMessage(caption, "please delete or rename " + temporary + ".");
        return {};
    }
    return temporary;
}

}  // namespace

bool mergeMp3MetaData(const std::string& path) {
    if (!hasMp3Extension(path)) return false;
    SideFiles sides;
    if (!sides.load(path, mergeCaption) || !sides.any()) return true;
    const std::string temporary = freeTemporary(path, mergeCaption);
    if (temporary.empty()) return true;
    try {
        MetaDataOutput output(temporary);
        {
            MetaDataInput input(path);
            const Mp3EndBlock layout = layoutOf(input);
            output.copy(input, 0, layout.dataEnd);
            const std::string qrt = Mp3EndBlock::stuff(sides.qrt);
            const std::string png = Mp3EndBlock::stuff(sides.png);
            const std::string mark = Mp3EndBlock::mark(static_cast<std::uint32_t>(layout.dataEnd + Mp3EndBlock::kMarkBytes),
                                                       static_cast<std::uint32_t>(qrt.size()),
                                                       static_cast<std::uint32_t>(png.size()));
            for (const std::string* piece : {&mark, &qrt, &png, &mark}) output.write(piece->data(), piece->size());
            if (layout.hasId3v1) output.copy(input, input.size() - Mp3EndBlock::kId3v1Bytes, Mp3EndBlock::kId3v1Bytes);
        }
        output.close();
        if (!platform::renameFile(temporary, path)) throw StringException(renameFailure);
        output.commit();
    } catch (const StringException& error) {
        showMessage(mergeCaption, error.what());
        return true;
    }
    sides.remove();
    return true;
}

bool splitMp3MetaData(const std::string& path, bool stripOnly) {
    if (!hasMp3Extension(path)) return false;
    try {
        std::unique_ptr<MetaDataInput> input = std::make_unique<MetaDataInput>(path);
        const Mp3EndBlock layout = layoutOf(*input);
        if (!layout.hasBlock) return true;
        const std::string temporary = freeTemporary(path, splitCaption);
        if (temporary.empty()) return true;

        MetaDataOutput output(temporary);
        output.copy(*input, 0, layout.dataEnd);
        if (layout.hasId3v1) output.copy(*input, input->size() - Mp3EndBlock::kId3v1Bytes, Mp3EndBlock::kId3v1Bytes);
        output.close();

        // The side files are written whole under fresh names first; they
        // take their names only once the song has been replaced.
        std::vector<std::unique_ptr<MetaDataOutput>> parts;
        std::vector<std::pair<std::string, std::string>> renames;
        const std::int64_t qrtAt = layout.blockStart + Mp3EndBlock::kMarkBytes;
        const struct {
            const char* extension;
            std::int64_t at;
            std::uint32_t size;
        } embedded[2] = {{"qrt", qrtAt, layout.qrtSize}, {"png", qrtAt + layout.qrtSize, layout.pngSize}};
        for (const auto& data : embedded) {
            if (stripOnly || data.size == 0) continue;
            const std::string side = withExtension(path, data.extension);
            const std::string bytes = Mp3EndBlock::unstuff(readBytes(*input, data.at, data.size));
            parts.push_back(std::make_unique<MetaDataOutput>(uniqueBeside(side)));
            parts.back()->write(bytes.data(), bytes.size());
            parts.back()->close();
            renames.emplace_back(parts.back()->path(), side);
        }
        input.reset();

        if (!platform::renameFile(temporary, path)) throw StringException(renameFailure);
        output.commit();
        for (std::size_t i = 0; i < renames.size(); ++i) {
            // The song no longer holds this data: a part that cannot take
            // its name is kept, and named in the message.
            parts[i]->commit();
            if (!platform::renameFile(renames[i].first, renames[i].second))
                throw StringException("Cannot rename " + renames[i].first + " to " + renames[i].second + ".");
        }
    } catch (const StringException& error) {
        showMessage(splitCaption, error.what());
    }
    return true;
}

bool stripMp3MetaData(const std::string& path) { return splitMp3MetaData(path, true); }
