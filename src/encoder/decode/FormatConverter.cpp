#include "encoder/decode/FormatConverter.h"

#include "encoder/base/Failure.h"

#include <algorithm>
#include <cmath>

namespace encoder {

namespace {

// LAME aborts on a NaN and misbehaves far outside its range; damaged sources give both.
float safe(float sample) {
    return sample == sample ? std::clamp(sample, -1.0f, 1.0f) : 0.0f; // NaN is unequal to itself
}

} // namespace

std::span<const float> FormatConverter::remix(const AudioBlock& block) {
    const std::size_t frames = block.frames();
    const int in = block.channels;
    m_mixed.resize(frames * static_cast<std::size_t>(m_out_channels));
    const float* src = block.samples.data();
    float* dst = m_mixed.data();
    if (in == m_out_channels) {
        std::transform(src, src + frames * static_cast<std::size_t>(in), dst, safe);
    } else if (m_out_channels == 1) {
        const float scale = 1.0f / static_cast<float>(in);
        for (std::size_t f = 0; f < frames; ++f, src += in) {
            float sum = 0;
            for (int c = 0; c < in; ++c)
                sum += safe(src[c]);
            dst[f] = sum * scale;
        }
    } else if (in == 1) {
        for (std::size_t f = 0; f < frames; ++f)
            dst[2 * f] = dst[2 * f + 1] = safe(src[f]);
    } else {
        // More than two channels: keep the front pair.
        for (std::size_t f = 0; f < frames; ++f, src += in)
            dst[2 * f] = safe(src[0]), dst[2 * f + 1] = safe(src[1]);
    }
    return m_mixed;
}

std::span<const float> FormatConverter::convert(const AudioBlock& block) {
    m_out.clear();
    if (block.rate != m_in_rate) {
        // A new input rate: what the old resampler holds belongs before this block.
        drain(m_out);
        m_in_rate = block.rate;
        if (m_in_rate != m_out_rate) {
            const Soxr& soxr = Soxr::get();
            soxr_error_t error = nullptr;
            const soxr_io_spec_t io = soxr.io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr.quality_spec(SOXR_HQ, 0);
            m_soxr.reset(soxr.create(static_cast<double>(m_in_rate), static_cast<double>(m_out_rate),
                                     static_cast<unsigned>(m_out_channels), &error, &io, &quality, nullptr));
            if (error) fail(kFailInput, Cause::Internal, "resampler", error);
        }
    }
    const std::span<const float> mixed = remix(block);
    if (m_soxr) {
        resample(mixed.data(), mixed.size() / static_cast<std::size_t>(m_out_channels), m_out);
        return m_out;
    }
    if (m_out.empty()) return mixed;
    m_out.insert(m_out.end(), mixed.begin(), mixed.end());
    return m_out;
}

void FormatConverter::resample(const float* in, std::size_t frames, std::vector<float>& out) {
    const auto ch = static_cast<std::size_t>(m_out_channels);
    for (;;) {
        const std::size_t room =
            frames * static_cast<std::size_t>(m_out_rate) / static_cast<std::size_t>(m_in_rate) + 256;
        const std::size_t start = out.size();
        out.resize(start + room * ch);
        std::size_t used = 0, made = 0;
        Soxr::get().process(m_soxr.get(), in, frames, &used, out.data() + start, room, &made);
        out.resize(start + made * ch);
        if (!in) {
            if (made == 0) return;
            continue;
        }
        in += used * ch;
        frames -= used;
        if (frames == 0 || (used == 0 && made == 0)) return;
    }
}

std::span<const float> FormatConverter::flush() {
    m_out.clear();
    drain(m_out);
    return m_out;
}

void FormatConverter::drain(std::vector<float>& out) {
    if (!m_soxr) return;
    resample(nullptr, 0, out);
    m_soxr.reset();
}

} // namespace encoder
