// The WMA decoder over libavformat and libavcodec.
#include "platform/WmaDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <numeric>

namespace platform {

void interleaveFloatTo16(const float* const* planes, int channels, int frames,
                         std::int16_t* out) {
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            float scaled = std::nearbyint(planes[c][f] * 32768.0f);
            scaled = std::clamp(scaled, -32768.0f, 32767.0f);
            out[f * channels + c] = static_cast<std::int16_t>(scaled);
        }
    }
}

bool wmaDecodingAvailable() {
    return av_find_input_format("asf") != nullptr &&
           avcodec_find_decoder(AV_CODEC_ID_WMAV1) != nullptr &&
           avcodec_find_decoder(AV_CODEC_ID_WMAV2) != nullptr;
}

namespace {

// Below this distance a forward seek decodes on instead of seeking.
constexpr double kDecodeOnSeconds = 1.0;
// A seek lands this far before its target, so that the blocks decoded
// without their predecessor's overlap and bit reservoir are discarded.
constexpr std::int64_t kSeekLeadMs = 500;
// Decoded blocks discarded after a demuxer seek.
constexpr int kBlocksDroppedAfterSeek = 2;

class FFmpegWmaDecoder : public WmaDecoder {
public:
    FFmpegWmaDecoder() { av_log_set_level(AV_LOG_FATAL); }
    ~FFmpegWmaDecoder() override { close(); }

    bool open(const std::string& utf8Path) override {
        close();
        if (avformat_open_input(&format_, utf8Path.c_str(), av_find_input_format("asf"),
                                nullptr) < 0) {
            format_ = nullptr;
            return false;
        }
        if (avformat_find_stream_info(format_, nullptr) < 0 || format_->nb_streams == 0) {
            close();
            return false;
        }
        AVStream* stream = format_->streams[0];
        const AVCodecParameters* par = stream->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            type_ = WmaMediaType::Audio;
        } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            type_ = WmaMediaType::Video;
        } else {
            type_ = WmaMediaType::Other;
        }
        outputs_ = static_cast<int>(format_->nb_streams);
        if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
            duration100ns_ = format_->duration * 10;  // microseconds to 100 ns
        }
        if (type_ != WmaMediaType::Audio) {
            return true;  // the caller refuses it by its type
        }
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (codec == nullptr) {
            close();
            return false;
        }
        codecContext_ = avcodec_alloc_context3(codec);
        if (codecContext_ == nullptr ||
            avcodec_parameters_to_context(codecContext_, par) < 0 ||
            avcodec_open2(codecContext_, codec, nullptr) < 0 ||
            codecContext_->sample_fmt != AV_SAMPLE_FMT_FLTP) {
            close();
            return false;
        }
        channels_ = codecContext_->ch_layout.nb_channels;
        rate_ = codecContext_->sample_rate;
        timeBase_ = stream->time_base;
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        if (packet_ == nullptr || frame_ == nullptr || channels_ <= 0 || rate_ <= 0) {
            close();
            return false;
        }
        nextFrame_ = 0;
        // The first block's timestamp is the origin of the numbering (the
        // demuxer's timestamps start a few WMA frames in); it stays pending.
        int first = decodeBlock();
        if (first < 0) {
            close();
            return false;
        }
        originFrame_ = first > 0 && blockStart_ >= 0 ? timestampToFrame(blockStart_) : 0;
        return true;
    }

    void close() override {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codecContext_);
        if (format_ != nullptr) {
            avformat_close_input(&format_);
        }
        pending_.clear();
        pendingStart_ = 0;
        endReached_ = false;
        outputs_ = 0;
        channels_ = 0;
        rate_ = 0;
        duration100ns_ = 0;
    }

    int outputCount() const override { return outputs_; }
    WmaMediaType outputType() const override { return type_; }
    int channels() const override { return channels_; }
    int sampleRate() const override { return rate_; }
    std::int64_t duration100ns() const override { return duration100ns_; }

    int nextBlock(std::int16_t* out) override {
        if (codecContext_ == nullptr) {
            return -1;
        }
        if (pendingFrames() == 0) {
            int decoded = decodeBlock();
            if (decoded <= 0) {
                return decoded;
            }
        }
        int frames = std::min<std::int64_t>(pendingFrames(), kMaxBlockFrames);
        std::copy_n(pending_.data() + pendingStart_ * channels_,
                    static_cast<std::size_t>(frames) * channels_, out);
        pendingStart_ += frames;
        nextFrame_ += frames;
        return frames;
    }

    bool seek(std::int64_t frame) override {
        if (codecContext_ == nullptr) {
            return false;
        }
        std::int64_t target = frame + startOffset_;
        if (target < 0) {
            return false;
        }
        bool nearAhead = target >= nextFrame_ &&
                         target - nextFrame_ <= static_cast<std::int64_t>(kDecodeOnSeconds * rate_);
        if (!nearAhead) {
            std::int64_t leadMs = target * 1000 / rate_ - kSeekLeadMs;
            if (!seekDemuxer(leadMs)) {
                return false;
            }
        }
        return discardUntil(target);
    }

private:
    std::int64_t pendingFrames() const {
        return channels_ == 0
                   ? 0
                   : static_cast<std::int64_t>(pending_.size()) / channels_ - pendingStart_;
    }

    // Samples per WMA frame at this rate: every decoded block is a multiple.
    int codecFrameLength() const {
        int bits = 11;
        if (rate_ <= 16000) {
            bits = 9;
        } else if (rate_ <= 22050 ||
                   (rate_ <= 32000 && codecContext_->codec_id == AV_CODEC_ID_WMAV1)) {
            bits = 10;
        } else if (rate_ > 48000) {
            bits = 12;
        }
        return 1 << bits;
    }

    // Decodes the next block into pending_; its first frame number is left in
    // blockStart_ (from the timestamp) when the stream provides one. Returns
    // its frame count, 0 at the end, -1 on failure.
    int decodeBlock() {
        pending_.clear();
        pendingStart_ = 0;
        for (;;) {
            int received = avcodec_receive_frame(codecContext_, frame_);
            if (received == 0) {
                int frames = frame_->nb_samples;
                pending_.resize(static_cast<std::size_t>(frames) * channels_);
                interleaveFloatTo16(reinterpret_cast<const float* const*>(frame_->extended_data),
                                    channels_, frames, pending_.data());
                blockStart_ = -1;
                std::int64_t pts = frame_->best_effort_timestamp;
                if (pts != AV_NOPTS_VALUE) {
                    blockStart_ = pts;
                }
                av_frame_unref(frame_);
                if (frames == 0) {
                    continue;
                }
                return frames;
            }
            if (received == AVERROR_EOF) {
                endReached_ = true;
                return 0;
            }
            if (received != AVERROR(EAGAIN)) {
                return -1;
            }
            int read = av_read_frame(format_, packet_);
            if (read == AVERROR_EOF) {
                if (avcodec_send_packet(codecContext_, nullptr) < 0) {
                    endReached_ = true;
                    return 0;
                }
                continue;
            }
            if (read < 0) {
                return -1;
            }
            if (packet_->stream_index == 0) {
                int sent = avcodec_send_packet(codecContext_, packet_);
                // A damaged packet is skipped, as a player would.
                if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
                    av_packet_unref(packet_);
                    return -1;
                }
            }
            av_packet_unref(packet_);
        }
    }

    bool seekDemuxer(std::int64_t ms) {
        avcodec_flush_buffers(codecContext_);
        pending_.clear();
        pendingStart_ = 0;
        endReached_ = false;
        if (ms <= 0) {
            // From the start the numbering is exact without timestamps.
            if (av_seek_frame(format_, 0, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0 &&
                av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE) < 0) {
                return false;
            }
            avcodec_flush_buffers(codecContext_);
            nextFrame_ = 0;
            return true;
        }
        std::int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, timeBase_);
        if (av_seek_frame(format_, 0, ts, AVSEEK_FLAG_BACKWARD) < 0) {
            return seekDemuxer(0);
        }
        avcodec_flush_buffers(codecContext_);
        for (int dropped = 0; dropped < kBlocksDroppedAfterSeek; ++dropped) {
            int decoded = decodeBlock();
            if (decoded < 0) {
                return false;
            }
            if (decoded == 0) {
                return seekDemuxer(0);  // past the end: start over exactly
            }
        }
        int decoded = decodeBlock();
        if (decoded <= 0 || blockStart_ < 0) {
            return decoded == 0 ? seekDemuxer(0) : false;
        }
        nextFrame_ = timestampToFrame(blockStart_) - originFrame_;
        return true;
    }

    // Timestamps are in milliseconds; blocks start on whole WMA frames, so
    // the nearest frame boundary is exact.
    std::int64_t timestampToFrame(std::int64_t timestamp) const {
        double seconds = static_cast<double>(timestamp) * timeBase_.num / timeBase_.den;
        int frameLength = codecFrameLength();
        return std::llround(seconds * rate_ / frameLength) * frameLength;
    }

    // Decodes on, dropping what lies before target.
    bool discardUntil(std::int64_t target) {
        if (target < nextFrame_) {
            return false;
        }
        while (nextFrame_ < target) {
            if (pendingFrames() == 0) {
                int decoded = decodeBlock();
                if (decoded < 0) {
                    return false;
                }
                if (decoded == 0) {
                    nextFrame_ = target;  // past the end: reads give nothing
                    return true;
                }
            }
            std::int64_t skip = std::min(pendingFrames(), target - nextFrame_);
            pendingStart_ += skip;
            nextFrame_ += skip;
        }
        return true;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codecContext_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVRational timeBase_{1, 1000};
    int outputs_ = 0;
    WmaMediaType type_ = WmaMediaType::Other;
    int channels_ = 0;
    int rate_ = 0;
    std::int64_t duration100ns_ = 0;
    std::vector<std::int16_t> pending_;  // the current decoded block
    std::int64_t pendingStart_ = 0;      // frames of it already handed out
    std::int64_t nextFrame_ = 0;         // number of the next frame handed out
    std::int64_t blockStart_ = -1;       // timestamp of the last decoded block
    std::int64_t originFrame_ = 0;       // frame the first block's timestamp names
    bool endReached_ = false;
};

}  // namespace

std::unique_ptr<WmaDecoder> createWmaDecoder() {
    return std::make_unique<FFmpegWmaDecoder>();
}

}  // namespace platform
