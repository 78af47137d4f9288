// The track database's cache file on any bytes: the merge walk looks up a
// fixed sorted list of paths on one reader, and every name it reads back on
// another. Texts must come back terminated and within their buffers, tempi
// finite, a hit only for an equal name; and a file whose every record is
// stored as the writer stores it must be written again byte for byte.
#include "FuzzSupport.h"

#include "framework/FileMemory.h"
#include "tools/FileZLT.h"

#include <cmath>
#include <cstring>

namespace {

std::unique_ptr<File> inputFile(const std::uint8_t* data, std::size_t size) {
    return std::make_unique<fuzz::InputFile>(data, size);
}

void checkRecord(const BrowserRecord& record) {
    for (const std::string* text : {&record.title, &record.artist, &record.comments, &record.fileName}) {
        fuzz::check(text->size() <= BrowserRecord::textCapacity - 1, "a text longer than its buffer");
        fuzz::check(std::strlen(text->c_str()) == text->size(), "a text with a zero inside");
    }
    fuzz::check(std::isfinite(record.tempo), "a tempo that is not finite");
    fuzz::check(!record.selected && !record.loaded, "a flag that is never stored came back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every name read back, looked up in order: each is a hit.
    std::vector<BrowserRecord> records;
    bool canonical = false;
    bool opened = false;
    fuzz::guarded([&] {
        FileZLT reader(inputFile(data, size));
        opened = true;
        while (const BrowserRecord* current = reader.current()) {
            const std::string name = current->fileName;
            const std::uint64_t time = current->lastWriteTime;
            BrowserRecord record;
            fuzz::check(reader.lookup(name, time, record), "a stored record missed its own name");
            fuzz::check(record.fileName == name && record.lastWriteTime == time, "a hit gave another record");
            checkRecord(record);
            records.push_back(std::move(record));
        }
        canonical = reader.canonical();
        fuzz::check(!canonical || reader.upToDate(), "a whole file of hits is not up to date");
    });
    if (!opened) return 0;

    if (canonical) {
        FileMemory file(static_cast<int>(FileZLT::encodedSize(records)));
        FileZLT::write(file, records);
        fuzz::check(static_cast<std::size_t>(file.size()) == size && std::memcmp(file.data(), data, size) == 0,
                    "a file of canonical records was not written again byte for byte");
        fuzz::noteAccepted();
    }

    // A fixed sorted list of paths: a hit needs an equal name.
    static const char* const paths[] = {"", "/", "/m/a.wav", "/m/x.wav", "/music/a.wav", "/music/b/c.mp3",
                                        "/music/d.wav", "/z", "\x7f", "\xff\xff"};
    fuzz::guarded([&] {
        FileZLT reader(inputFile(data, size));
        std::size_t next = 0;
        std::size_t hits = 0;
        for (const char* path : paths) {
            // Ask with the stored time when the walk stands on this name.
            const BrowserRecord* current = reader.current();
            std::uint64_t time = current != nullptr && current->fileName == path ? current->lastWriteTime : next++;
            BrowserRecord record;
            if (reader.lookup(path, time, record)) {
                fuzz::check(record.fileName == path, "a hit for another name");
                ++hits;
                checkRecord(record);
            }
        }
        fuzz::check(!reader.upToDate() || hits == records.size(), "up to date though a stored record was no hit");
    });
    return 0;
}
