#include "audio/SampleDiskWMA.h"

#include "audio/AlignedFloats.h"
#include "audio/BufferCircular.h"
#include "framework/AudioEngineServices.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "platform/AsfAttributes.h"
#include "platform/WmaDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;  // 100-ns units

SampleDiskWMA::DecoderFactory& decoderFactory() {
    static SampleDiskWMA::DecoderFactory factory;
    return factory;
}

SampleDiskWMA::AttributesFactory& attributesFactory() {
    static SampleDiskWMA::AttributesFactory factory;
    return factory;
}

std::optional<std::string> lowBytes(const std::optional<std::u16string>& text) {
    if (!text) return std::nullopt;
    std::string bytes;
    bytes.reserve(text->size());
    for (char16_t c : *text) bytes.push_back(static_cast<char>(c & 0xFF));
    return bytes;
}

// The whole content of a caller's file.
platform::AsfAttributes::Bytes contentOf(File& file) {
    platform::AsfAttributes::Bytes bytes(static_cast<std::size_t>(std::max(file.size(), 0)));
    if (!file.seek(0) || (!bytes.empty() && !file.read(bytes.data(), static_cast<int>(bytes.size()))))
        throw StringException("Cannot read the meta-data file.");
    return bytes;
}

}  // namespace

bool SampleDiskWMA::loadLibrary() { return platform::wmaDecodingAvailable(); }

void SampleDiskWMA::installLoader() { setWmaLibraryLoader(&SampleDiskWMA::loadLibrary, &SampleDiskWMA::unloadLibrary); }

void SampleDiskWMA::setLayerFactories(DecoderFactory decoders, AttributesFactory attributes) {
    decoderFactory() = std::move(decoders);
    attributesFactory() = std::move(attributes);
}

SampleDiskWMA::SampleDiskWMA(const std::string& name, const FormatAudio& wanted, float cacheSeconds, bool makeBuffers)
    : name_(name) {
    if (!wanted.isCdFormat()) throw StringException("Audio must be in CD format: stereo, 44.1 kHz, 16 bits.");
    openReader();
    openAttributes();

    const int outputs = decoder_->outputCount();
    if (outputs < 0) throw StringException("Could not determine number of WMA outputs.");
    if (outputs != 1) throw StringException("The WMA file has not exactly one output.");
    if (decoder_->outputType() != platform::WmaMediaType::Audio)
        throw StringException("The WMA file is not of the correct media type.");
    format_ = FormatAudio(decoder_->channels(), decoder_->sampleRate(), decoder_->bitsPerSample());
    if (!format_.isCdFormat()) throw StringException("The WMA file must be in CD format: stereo, 44.1 kHz, 16 bits.");

    const std::int64_t duration = decoder_->duration100ns();
    if (duration < 0) throw StringException("Could not get WMA duration attribute.");
    const std::int64_t frames = format_.sampleRate * duration / kUnitsPerSecond;
    length_ = static_cast<std::int32_t>(std::min<std::int64_t>(frames, std::numeric_limits<std::int32_t>::max()));

    tags_.title = lowBytes(attributes_->text(platform::AsfText::Title));
    tags_.artist = lowBytes(attributes_->text(platform::AsfText::Author));
    tags_.album = lowBytes(attributes_->text(platform::AsfText::AlbumTitle));
    tags_.comment = lowBytes(attributes_->text(platform::AsfText::Description));
    tags_.year = lowBytes(attributes_->text(platform::AsfText::Year));

    block_.resize(static_cast<std::size_t>(decoder_->maxBlockFrames()) * 2);
    if (makeBuffers) {
        buffersMade_ = true;
        const double capacity = std::trunc(static_cast<double>(format_.sampleRate) * cacheSeconds + 1.0);
        capacity_ = static_cast<std::int32_t>(std::clamp(capacity, 1.0, 1.0e9));
        for (float*& channel : channels_) channel = allocateFloats(capacity_);
        ringSeconds_ = std::max(
            5.0f, static_cast<float>(maxBlockFrames()) / static_cast<float>(format_.sampleRate) + 0.5f + cacheSeconds);
        ring_ = std::make_unique<BufferCircular>(this, format_, ringSeconds_);
    }
}

SampleDiskWMA::~SampleDiskWMA() {
    ring_.reset();
    for (float* channel : channels_) releaseAligned(channel);
    if (decoder_) decoder_->close();
    if (attributes_) attributes_->close();
}

void SampleDiskWMA::reopen() {
    attributes_->close();
    attributes_->open(name_);
    decoderOpen_ = decoder_->open(name_);
    // The decoder starts again at frame 0: what the ring holds is dropped.
    if (ring_) ring_ = std::make_unique<BufferCircular>(this, format_, ringSeconds_);
}

void SampleDiskWMA::openReader() {
    decoder_ = decoderFactory() ? decoderFactory()() : platform::createWmaDecoder();
    if (!decoder_) throw StringException("Could not create WMA reader.");
    if (!decoder_->open(name_)) {
        decoder_.reset();
        throw StringException("Could not open WMA file.");
    }
    decoderOpen_ = true;
}

void SampleDiskWMA::openAttributes() {
    attributes_ = attributesFactory() ? attributesFactory()() : platform::createAsfAttributes();
    if (!attributes_ || !attributes_->open(name_)) {
        attributes_.reset();
        decoder_->close();
        decoder_.reset();
        throw StringException("Could not get WMA HeaderInfo3 interface.");
    }
}

float** SampleDiskWMA::read(std::int32_t position, std::int32_t count, bool readAhead) {
    if (!buffersMade_) fatalError("No buffers created.", __FILE__, __LINE__);
    if (count > capacity_) fatalError("Output buffer too small.", __FILE__, __LINE__);
    if (count <= 0) return channels_;
    // Silence before frame 0 and after the end, the song's frames between.
    const auto before = static_cast<std::int32_t>(std::clamp<std::int64_t>(-std::int64_t{position}, 0, count));
    const std::int64_t first = std::int64_t{position} + before;
    const auto inside = static_cast<std::int32_t>(std::clamp<std::int64_t>(length_ - first, 0, count - before));
    for (float* channel : channels_) {
        std::fill(channel, channel + before, 0.0f);
        std::fill(channel + before + inside, channel + count, 0.0f);
    }
    if (inside > 0) ring_->read(channels_, before, static_cast<std::int32_t>(first), inside, readAhead);
    return channels_;
}

void SampleDiskWMA::readNext(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                             std::int32_t& produced) {
    produced = 0;
    if (!decoderOpen_) return;
    constexpr float kScale = 1.0f / 32768.0f;
    while (produced < count) {
        const int frames = decoder_->nextBlock(block_.data());
        if (frames <= 0) break;
        for (int i = 0; i < frames; ++i) {
            std::int32_t at = offset + produced + i;
            if (at >= wrapAt) at -= wrapAt;
            destination[0][at] = static_cast<float>(block_[2 * static_cast<std::size_t>(i)]) * kScale;
            destination[1][at] = static_cast<float>(block_[2 * static_cast<std::size_t>(i) + 1]) * kScale;
        }
        produced += frames;
    }
}

void SampleDiskWMA::readAt(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                           std::int32_t& produced, std::int32_t position) {
    produced = 0;
    if (!decoderOpen_ || !decoder_->seek(position)) return;
    readNext(destination, offset, wrapAt, count, produced);
}

std::int32_t SampleDiskWMA::maxBlockFrames() { return decoder_->maxBlockFrames(); }

bool SampleDiskWMA::qrtSize(std::int32_t& size) const {
    const std::vector<platform::AsfAttributes::Bytes> values = attributes_->values(kQrtAttribute);
    size = values.empty() ? 0 : static_cast<std::int32_t>(values.front().size());
    return !values.empty();
}

bool SampleDiskWMA::pngSize(std::int32_t& size) const {
    const std::vector<platform::AsfAttributes::Bytes> values = attributes_->values(kPngAttribute);
    size = values.empty() ? 0 : static_cast<std::int32_t>(values.front().size());
    return !values.empty();
}

void SampleDiskWMA::readAttributes(File* qrt, File* png) const {
    for (auto [name, target] : {std::pair{kQrtAttribute, qrt}, std::pair{kPngAttribute, png}}) {
        if (target == nullptr) continue;
        const std::vector<platform::AsfAttributes::Bytes> values = attributes_->values(name);
        if (values.empty() || values.front().empty()) continue;
        target->write(values.front().data(), static_cast<int>(values.front().size()));
    }
}

bool SampleDiskWMA::writeAttributes(File* qrt, File* png) {
    decoder_->close();
    bool saved = false;
    try {
        if (qrt != nullptr) attributes_->addBinary(kQrtAttribute, contentOf(*qrt));
        if (png != nullptr) attributes_->addBinary(kPngAttribute, contentOf(*png));
        saved = attributes_->save();
    } catch (const StringException&) {
        saved = false;
    }
    if (!saved) {
        if (qrt != nullptr) logMessage("Could not write QRT metadata in .wma file.", __FILE__, __LINE__);
        if (png != nullptr) logMessage("Could not write PNG metadata in .wma file.", __FILE__, __LINE__);
    }
    // The song may be a new file now: read it afresh (unsaved edits dropped).
    reopen();
    return saved;
}

bool SampleDiskWMA::removeAttributes() {
    decoder_->close();
    attributes_->remove(kQrtAttribute);
    attributes_->remove(kPngAttribute);
    const bool saved = attributes_->save();
    if (!saved) {
        logMessage("Could not remove QRT metadata from .wma file.", __FILE__, __LINE__);
        logMessage("Could not remove PNG metadata from .wma file.", __FILE__, __LINE__);
    }
    reopen();
    return saved;
}
