// The two decoders on any file: MPEG audio through libmpg123 (streams whose format
// changes included) and WAV, AIFF and the other PCM formats through libsndfile. Each
// either refuses the file, fails with one of tvenc's own failures, or gives blocks
// of whole frames of finite samples in a format LAME can take.
#include "FuzzFile.h"
#include "encoder/base/Failure.h"
#include "encoder/decode/MpegSource.h"
#include "encoder/decode/SndfileSource.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void drain(encoder::AudioSource& source) {
    encoder::AudioBlock block;
    for (int blocks = 0; blocks < 2000 && source.read(block); ++blocks) {
        if (block.channels < 1 || block.channels > 8 || block.rate < 1000 || block.rate > 768000) std::abort();
        if (block.samples.size() % static_cast<std::size_t>(block.channels) != 0) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzFile fuzz_file(data, size);
    const encoder::SourceFile file(fuzz_file.path());
    try {
        if (auto pcm = encoder::SndfileSource::open(file)) drain(*pcm);
    } catch (const encoder::Failure&) {
    }
    try {
        if (auto mpeg = encoder::MpegSource::open(file)) drain(*mpeg);
    } catch (const encoder::Failure&) {
    }
    return 0;
}
