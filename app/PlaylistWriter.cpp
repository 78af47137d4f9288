#include "app/PlaylistWriter.h"

#include "framework/Support.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <cstdio>

namespace {

constexpr std::int64_t samplesPerSecond = 44100;

}  // namespace

PlaylistWriter::PlaylistWriter(int mode) : mode_(mode) {}

PlaylistWriter::~PlaylistWriter() = default;

void PlaylistWriter::setBaseName(const std::string& base) {
    running_ = false;
    file_.reset();
    elapsedOffset_ = 0;
    fileName_ = base + (mode_ == csv ? ".csv" : ".txt");
}

bool PlaylistWriter::openFile() {
    file_.reset(platform::DiskFile::open(fileName_, platform::DiskFile::Mode::Write));
    if (file_ && mode_ == csv) put(csvHeader);
    return file_ != nullptr;
}

void PlaylistWriter::start(std::int64_t sampleTime) {
    if (running_) return;
    if (!file_ && !openFile()) {
        showMessage("Cannot start recording playlist.", "Cannot open " + platform::nativePath(fileName_) + ".");
        return;
    }
    startTime_ = sampleTime;
    running_ = true;
}

void PlaylistWriter::stop(std::int64_t sampleTime) {
    if (running_) elapsedOffset_ += sampleTime - startTime_;
    running_ = false;
}

void PlaylistWriter::reset() {
    if (!file_) return;
    running_ = false;
    file_.reset();
    elapsedOffset_ = 0;
    if (!openFile()) {
        showMessage("Cannot reset playlist recording.", "Cannot open " + platform::nativePath(fileName_) + ".");
    }
}

void PlaylistWriter::writeLine(int deck, std::int64_t sampleTime, const std::string& title, const std::string& artist,
                               const std::string& label) {
    if (!running_) return;
    if (mode_ == csv) {
        put(csvLine(title, artist, label));
    } else {
        put(textLine(deck, elapsedOffset_ + sampleTime - startTime_, title, artist, label));
    }
}

std::string PlaylistWriter::textLine(int deck, std::int64_t elapsedSamples, const std::string& title,
                                     const std::string& artist, const std::string& label) {
    const std::int64_t seconds = elapsedSamples / samplesPerSecond;
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%d. [%2lld:%2lld:%2lld] ", deck + 1, static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return stamp + title + " | " + artist + " [ " + label + " ]\r\n";
}

std::string PlaylistWriter::csvLine(const std::string& title, const std::string& artist, const std::string& label) {
    return title + ";" + artist + ";" + label + "\r\n";
}

void PlaylistWriter::put(const std::string& bytes) {
    if (!bytes.empty()) file_->write(bytes.data(), bytes.size());
}
