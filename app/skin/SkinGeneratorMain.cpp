// velkarn-skin <output directory> <font directory>: draws every image of the
// skin table into <output>/images/<key>.png, checks them (a problem fails
// the build), and draws the contact sheet <output>/sheet.png. A file is
// rewritten only when its bytes change, and <output>/images.stamp only
// when some image did, so that the archive is packed again only then.
#include "app/skin/SkinArt.h"
#include "app/skin/SkinChecks.h"
#include "app/skin/SkinContactSheet.h"
#include "app/skin/SkinTable.h"
#include "framework/Image.h"
#include "framework/Support.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// True when the file changed.
bool writeIfChanged(const Image& image, const fs::path& path) {
    fs::create_directories(path.parent_path());
    const fs::path fresh = path.string() + ".new";
    image.writePng(fresh.string());
    if (fs::exists(path) && readAll(path) == readAll(fresh)) {
        fs::remove(fresh);
        return false;
    }
    fs::rename(fresh, path);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output directory> <font directory>\n", argv[0]);
        return 2;
    }
    supportSettings().archiveMode = false;
    try {
        const fs::path output = argv[1];
        SkinArt art(argv[2]);
        const SkinTable& table = skinTable();
        const std::vector<SkinImage> images = art.paint(table);
        std::vector<std::string> problems = art.problems();
        for (const std::string& problem : checkSkin(table, images)) problems.push_back(problem);
        if (!problems.empty()) {
            for (const std::string& problem : problems) std::fprintf(stderr, "velkarn-skin: %s\n", problem.c_str());
            return 1;
        }

        const fs::path directory = output / "images";
        bool changed = false;
        std::set<fs::path> written;
        for (const SkinImage& image : images) {
            const fs::path path = directory / (image.name + ".png");
            changed = writeIfChanged(*image.image, path) || changed;
            written.insert(path);
        }
        // Images of keys that left the table.
        std::vector<fs::path> stale;
        for (const auto& entry : fs::recursive_directory_iterator(directory)) {
            if (entry.is_regular_file() && !written.count(entry.path())) stale.push_back(entry.path());
        }
        for (const fs::path& path : stale) {
            fs::remove(path);
            changed = true;
        }
        // The sheet is the slowest step: drawn again only with the images.
        if (changed || !fs::exists(output / "sheet.png")) {
            writeIfChanged(*makeContactSheet(images, art.plainFont()), output / "sheet.png");
        }

        const fs::path stamp = output / "images.stamp";
        if (changed || !fs::exists(stamp)) {
            std::ofstream(stamp, std::ios::trunc) << images.size() << " images\n";
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "velkarn-skin: %s\n", error.what());
        return 1;
    }
}
