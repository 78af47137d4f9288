// A source of decoded audio in blocks, read into a caller's ring: the WMA
// reader implements it for the circular buffer in front of it.
#ifndef VELKARN_AUDIO_BUFFERSOURCE_H
#define VELKARN_AUDIO_BUFFERSOURCE_H

#include <cstdint>

class BufferSource {
public:
    virtual ~BufferSource() = default;

    // Decodes the stream's next frames into destination (one float buffer
    // per channel), the first at index offset; a frame whose index would
    // reach wrapAt goes to index - wrapAt instead. Decodes whole blocks until
    // at least count frames are produced, so it may produce up to
    // maxBlockFrames() - 1 more; fewer only when the stream ends or fails.
    // produced: the frames written.
    virtual void readNext(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                          std::int32_t& produced) = 0;

    // Moves to frame `position` of the stream, then reads as readNext does.
    virtual void readAt(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                        std::int32_t& produced, std::int32_t position) = 0;

    // The largest block the source decodes at once, in frames.
    virtual std::int32_t maxBlockFrames() = 0;
};

#endif
