#include "framework/packer/ArchivePacker.h"

#include "framework/ArchiveFormat.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

void appendWord(std::string& out, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool hidden(const std::filesystem::path& relative) {
    for (const auto& part : relative) {
        if (!part.empty() && part.string()[0] == '.') return true;
    }
    return false;
}

}  // namespace

bool packArchive(const std::string& root, std::string& archive, std::string& error) {
    return packArchive(std::vector<ArchiveTree>{{"", root}}, archive, error);
}

bool packArchive(const std::vector<ArchiveTree>& trees, std::string& archive, std::string& error) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, fs::path>> files;
    for (const ArchiveTree& tree : trees) {
        const std::string& root = tree.directory;
        std::error_code failure;
        fs::recursive_directory_iterator walk(root, failure), end;
        if (failure) {
            error = "Cannot read " + root + ": " + failure.message();
            return false;
        }
        for (; walk != end; walk.increment(failure)) {
            if (failure) {
                error = "Cannot read " + root + ": " + failure.message();
                return false;
            }
            fs::path relative = walk->path().lexically_relative(root);
            if (hidden(relative) || !walk->is_regular_file()) continue;
            std::string name = relative.generic_string();
            if (!tree.prefix.empty()) name = tree.prefix + "/" + name;
            if (name.size() + 1 > archiveNameLimit) {
                error = "The name " + name + " is too long for the archive (" + std::to_string(name.size() + 1) +
                        " bytes with its end, at most " + std::to_string(archiveNameLimit) + ").";
                return false;
            }
            files.emplace_back(name, walk->path());
        }
    }
    std::sort(files.begin(), files.end());
    for (std::size_t i = 1; i < files.size(); ++i) {
        if (files[i].first == files[i - 1].first) {
            error = "The name " + files[i].first + " comes from two trees.";
            return false;
        }
    }

    std::string index;
    std::string data;
    appendWord(index, files.size());
    for (const auto& [name, path] : files) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            error = "Cannot read " + path.string();
            return false;
        }
        index += name;
        index += '\0';
        appendWord(index, data.size());
        appendWord(index, bytes.size());
        data += bytes;
    }
    if (index.size() + data.size() > 0x7FFFFFFFu) {
        error = "The archive would be larger than 2 GiB.";
        return false;
    }
    archive = index + data;
    return true;
}
