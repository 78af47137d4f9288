// The scripted WMA decoder of the tests.
#include "platform/WmaDecoder.h"

#include <algorithm>

namespace platform {

bool FakeWmaDecoder::open(const std::string& utf8Path) {
    path_ = utf8Path;
    open_ = !script_.openFails;
    position_ = 0;
    return open_;
}

int FakeWmaDecoder::nextBlock(std::int16_t* out) {
    if (!open_ || script_.channels <= 0) {
        return -1;
    }
    const auto total = static_cast<std::int64_t>(script_.samples.size()) / script_.channels;
    if (script_.failAtFrame >= 0 && position_ >= script_.failAtFrame) {
        return -1;
    }
    std::int64_t frames = std::min<std::int64_t>(
        {total - position_, script_.blockFrames, kMaxBlockFrames});
    if (script_.failAtFrame >= 0) {
        frames = std::min(frames, script_.failAtFrame - position_);
    }
    if (frames <= 0) {
        return 0;
    }
    std::copy_n(script_.samples.begin() + position_ * script_.channels,
                frames * script_.channels, out);
    position_ += frames;
    return static_cast<int>(frames);
}

bool FakeWmaDecoder::seek(std::int64_t frame) {
    ++seekCalls_;
    if (!open_ || script_.seekFails || frame + startOffset_ < 0) {
        return false;
    }
    position_ = frame + startOffset_;
    return true;
}

}  // namespace platform
