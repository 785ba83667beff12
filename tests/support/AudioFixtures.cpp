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

Decoded decode_mp3(const std::string& path, std::vector<float>* pcm) {
    Decoded d;
    mpg123_init();
    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        mpg123_delete(h);
        return d;
    }
    d.opened = true;
    int encoding = 0;
    mpg123_getformat(h, &d.rate, &d.channels, &encoding);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        std::size_t bytes = 0;
        const int rc = mpg123_read(h, buffer.data(), buffer.size(), &bytes);
        const auto frames =
            static_cast<std::int64_t>(bytes / static_cast<std::size_t>(mpg123_encsize(encoding) * d.channels));
        d.frames += frames;
        if (pcm && encoding == MPG123_ENC_SIGNED_16) {
            const auto* s16 = reinterpret_cast<const std::int16_t*>(buffer.data());
            for (std::size_t i = 0; i < bytes / 2; ++i)
                pcm->push_back(s16[i] / 32768.0f);
        }
        d.seconds += static_cast<double>(frames) / static_cast<double>(d.rate);
        mpg123_frameinfo2 info{};
        if (bytes > 0 && mpg123_info2(h, &info) == MPG123_OK) d.bit_rates.push_back(info.bitrate);
        if (rc == MPG123_DONE) break;
        if (rc == MPG123_NEW_FORMAT) {
            mpg123_getformat(h, &d.rate, &d.channels, &encoding);
            continue;
        }
        if (rc != MPG123_OK) {
            d.error = true;
            break;
        }
    }
    mpg123_close(h);
    mpg123_delete(h);
    return d;
}
