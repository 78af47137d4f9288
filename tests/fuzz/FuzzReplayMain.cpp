// Replays saved inputs through a fuzz target without libFuzzer, so that the
// ordinary and sanitizer builds run every seed and every past finding.
//   <target>_replay DIR... [--optional DIR...]
// Each DIR before --optional must hold at least one file; the ones after it
// may be missing or empty (a target without findings has no regression
// folder). The inputs of the first kind are valid files, which the target's
// parser must accept. A crash, sanitizer report or broken invariant ends the
// program.
#include "FuzzSupport.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    bool optional = false;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--optional") {
            optional = true;
            continue;
        }
        std::vector<std::filesystem::path> files;
        std::error_code error;
        if (std::filesystem::is_directory(argument, error)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(argument))
                if (entry.is_regular_file()) files.push_back(entry.path());
        } else if (std::filesystem::is_regular_file(argument, error)) {
            files.push_back(argument);
        }
        if (files.empty() && !optional) {
            std::cerr << "no inputs in " << argument << "\n";
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            std::vector<std::uint8_t> bytes;
            if (!fuzz::readFile(file.string(), bytes)) {
                std::cerr << "cannot read " << file << "\n";
                return 1;
            }
            std::cerr << "replaying " << file.string() << "\n";
            // A copy of exactly the input's size, so that a read past it is
            // caught by the sanitizer build.
            std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size()]);
            std::copy(bytes.begin(), bytes.end(), exact.get());
            const int acceptedBefore = fuzz::acceptedCount();
            LLVMFuzzerTestOneInput(exact.get(), bytes.size());
            if (!optional && fuzz::acceptedCount() == acceptedBefore) {
                std::cerr << "the valid input " << file.string() << " was refused\n";
                return 1;
            }
            ++replayed;
        }
    }
    std::cout << "replayed " << replayed << " inputs\n";
    return 0;
}
