#include "AudioFixtures.h"

#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mpg123.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void put16(std::string& s, unsigned v) {
    s += char(v & 0xFF), s += char((v >> 8) & 0xFF);
}
void put32(std::string& s, unsigned long v) {
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

std::string syncsafe(std::size_t n) {
    std::string s(4, '\0');
    for (int i = 3; i >= 0; --i, n >>= 7)
        s[static_cast<std::size_t>(i)] = char(n & 0x7F);
    return s;
}

std::string be32(std::size_t n) {
    return {char((n >> 24) & 0xFF), char((n >> 16) & 0xFF), char((n >> 8) & 0xFF), char(n & 0xFF)};
}

std::string frame(const std::string& id, const std::string& body) {
    return id + be32(body.size()) + std::string(2, '\0') + body;
}

} // namespace

void write_wav_samples(const std::string& path, long rate, int channels, const std::vector<float>& samples,
                       WavFormat format) {
    const bool floats = format == WavFormat::Float32;
    const unsigned bytes = floats ? 4 : 2;
    std::string data;
    data.reserve(samples.size() * bytes);
    for (float v : samples) {
        if (floats) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &v, 4);
            put32(data, bits);
        } else {
            put16(data, static_cast<unsigned>(static_cast<int>(std::clamp(v, -1.0f, 1.0f) * 32767) & 0xFFFF));
        }
    }
    std::string wav = "RIFF";
    put32(wav, 36 + data.size());
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, floats ? 3 : 1);
    put16(wav, static_cast<unsigned>(channels));
    put32(wav, static_cast<unsigned long>(rate));
    put32(wav, static_cast<unsigned long>(rate * channels * bytes));
    put16(wav, static_cast<unsigned>(channels) * bytes);
    put16(wav, bytes * 8);
    wav += "data";
    put32(wav, data.size());
    std::ofstream(path, std::ios::binary) << wav << data;
}

void write_wav(const std::string& path, long rate, int channels, long frames) {
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(frames * channels));
    for (long i = 0; i < frames; ++i) {
        const bool click = i % (rate / 2) < 8;
        for (int c = 0; c < channels; ++c) {
            const double f = c == 0 ? 440.0 : 660.0;
            const double v = 0.4 * std::sin(2 * M_PI * f * static_cast<double>(i) / static_cast<double>(rate));
            samples.push_back(click ? 0.9f : static_cast<float>(v));
        }
    }
    write_wav_samples(path, rate, channels, samples, WavFormat::Pcm16);
}

void write_tone_wav(const std::string& path, long rate, int channels, long frames, double hz) {
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(frames * channels));
    for (long i = 0; i < frames; ++i) {
        const auto v =
            static_cast<float>(0.4 * std::sin(2 * M_PI * hz * static_cast<double>(i) / static_cast<double>(rate)));
        for (int c = 0; c < channels; ++c)
            samples.push_back(v);
    }
    write_wav_samples(path, rate, channels, samples, WavFormat::Pcm16);
}

std::string id3v2_tag_with_picture() {
    std::string picture = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 3000; ++i)
        picture += char(i * 7);
    std::string body = frame("TIT2", std::string("\0Title \xA9", 8));
    body += frame("APIC", std::string("\0image/png\0\x03\0", 14) + picture);
    body += std::string(64, '\0'); // padding
    return std::string("ID3\x03\x00\x00", 6) + syncsafe(body.size()) + body;
}

std::string id3v1_tag(const std::string& title, const std::string& artist, const std::string& album,
                      const std::string& marker) {
    const auto field = [](std::string text) {
        text.resize(30, '\0');
        return text;
    };
    std::string tag = marker + field(title) + field(artist) + field(album);
    tag.resize(128, '\0');
    return tag;
}

RunResult run_program(const std::vector<std::string>& argv) {
    TempDir dir;
    const std::string out = dir.file("out"), err = dir.file("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    RunResult result;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = read_whole(out);
    result.err = read_whole(err);
    return result;
}

Decoded decode_mp3(const std::string& path, std::vector<float>* pcm, bool past_any_junk) {
    Decoded d;
    mpg123_init();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    if (past_any_junk) mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        mpg123_delete(h);
        return d;
    }
    d.opened = true;
    int encoding = 0;
    std::vector<unsigned char> buffer(1 << 16);
    bool done = false;
    // A file with no audio has no format: an error, never a division by zero.
    for (int rc = mpg123_getformat(h, &d.rate, &d.channels, &encoding); rc == MPG123_OK;) {
        const auto frame_bytes = static_cast<std::size_t>(mpg123_encsize(encoding) * d.channels);
        if (frame_bytes == 0 || d.rate <= 0) break;
        std::size_t bytes = 0;
        rc = mpg123_read(h, buffer.data(), buffer.size(), &bytes);
        const auto frames = static_cast<std::int64_t>(bytes / frame_bytes);
        d.frames += frames;
        if (pcm && encoding == MPG123_ENC_SIGNED_16) {
            const auto* s16 = reinterpret_cast<const std::int16_t*>(buffer.data());
            for (std::size_t i = 0; i < bytes / 2; ++i)
                pcm->push_back(s16[i] / 32768.0f);
        }
        d.seconds += static_cast<double>(frames) / static_cast<double>(d.rate);
        mpg123_frameinfo2 info{};
        if (bytes > 0 && mpg123_info2(h, &info) == MPG123_OK) d.bit_rates.push_back(info.bitrate);
        if (rc == MPG123_DONE) {
            done = true;
            break;
        }
        if (rc == MPG123_NEW_FORMAT) rc = mpg123_getformat(h, &d.rate, &d.channels, &encoding);
    }
    d.error = !done;
    mpg123_close(h);
    mpg123_delete(h);
    return d;
}

std::size_t mp3_frame_length(const std::string& bytes, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes.at(at + i)); };
    static const int kKbps[2][15] = {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
    static const long kRates[] = {44100, 48000, 32000};
    const int version = (b(1) >> 3) & 3; // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    const bool mpeg1 = version == 3;
    // No frame header here: no length, rather than an index past a table.
    if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0 || version == 1 || ((b(2) >> 2) & 3) == 3 || (b(2) >> 4) == 0 ||
        (b(2) >> 4) == 15)
        return 0;
    const long rate = kRates[(b(2) >> 2) & 3] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
    return static_cast<std::size_t>((mpeg1 ? 144000 : 72000) * kKbps[mpeg1][b(2) >> 4] / rate + ((b(2) >> 1) & 1));
}

namespace {

std::uint16_t crc16_arc(const std::string& bytes, std::size_t from, std::size_t to) {
    std::uint16_t crc = 0;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= static_cast<std::uint8_t>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

std::uint32_t big_endian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

} // namespace

std::string info_frame_problems(const std::string& mp3) {
    const auto info = mp3.find("Info");
    if (info == std::string::npos || info > 40) return "no Info frame at the start";
    std::size_t frames = 0, at = 0;
    for (; at + 4 <= mp3.size() && mp3[at] == '\xFF' && (mp3[at + 1] & 0xE0) == 0xE0; ++frames)
        at += mp3_frame_length(mp3, at);
    if (at != mp3.size()) return "no whole frame at byte " + std::to_string(at);
    const std::uint32_t flags = big_endian(mp3, info + 4, 4);
    at = info + 8;
    std::string problems;
    const auto expect = [&](std::uint32_t found, std::size_t truth, const char* what) {
        if (found != truth)
            problems += std::string(what) + " " + std::to_string(found) + " instead of " + std::to_string(truth) + "; ";
    };
    if (flags & 1) expect(big_endian(mp3, at, 4), frames - 1, "audio frames"), at += 4;
    if (flags & 2) expect(big_endian(mp3, at, 4), mp3.size(), "stream bytes"), at += 4;
    at += (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
    if (mp3.compare(at, 4, "LAME") != 0) return problems + "no LAME extension";
    expect(big_endian(mp3, at + 28, 4), mp3.size(), "music length");
    expect(big_endian(mp3, at + 32, 2), crc16_arc(mp3, mp3_frame_length(mp3), mp3.size()), "music CRC");
    expect(big_endian(mp3, at + 34, 2), crc16_arc(mp3, 0, at + 34), "tag CRC");
    return problems;
}
