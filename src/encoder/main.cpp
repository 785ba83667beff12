#include "encoder/AudioSource.h"
#include "encoder/Failure.h"
#include "encoder/FormatConverter.h"
#include "encoder/Mp3Writer.h"
#include "encoder/Options.h"
#include "encoder/OutputFile.h"
#include "encoder/ParallelEncoder.h"
#include "encoder/Progress.h"
#include "encoder/StdioFile.h"
#include "encoder/Tags.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace encoder;

namespace {

bool same_file(const std::string& a, const std::string& b) {
    struct stat x {
    }, y{};
    return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// A source that is already as small as asked would only grow and lose quality. The
// average counts the Xing/Info frame and stray bytes too, so a 128 kbps CBR file measures
// a little over 128 kbps: one percent of slack keeps it from being re-encoded to itself.
bool worth_copying(const StreamFacts& facts, const Options& options) {
    if (!facts.mpeg || facts.layer != 3 || facts.average_bit_rate <= 0) return false;
    if (options.downmix && !facts.mono_throughout) return false;
    return facts.average_bit_rate <= options.bit_rate * 1.01;
}

void copy_file(const Options& options, const StreamFacts& facts) {
    Progress progress(facts.frames, facts.rate);
    const StdioFile in(std::fopen(options.input.c_str(), "rb"));
    if (!in) fail(kFailInput, options.input, std::strerror(errno));
    StdioFile out(std::fopen(options.output.c_str(), "wb"));
    if (!out) fail(kFailOutput, options.output, std::strerror(errno));
    char buffer[1 << 16];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0;) {
        if (std::fwrite(buffer, 1, n, out.get()) != n) fail(kFailOutput, options.output, std::strerror(errno));
    }
    // A partial copy is never a result: whoever staged the output removes it.
    if (std::ferror(in.get())) fail(kFailInput, options.input, "read error");
    if (!close_stdio(out)) fail(kFailOutput, options.output, std::strerror(errno));
    progress.advance(facts.frames);
    progress.done();
}

bool regular_output(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

int online_cores() {
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<int>(cores) : 1;
}

void encode_file(const Options& options, AudioSource& source) {
    AudioBlock block;
    if (!source.read(block)) fail(kFailInput, options.input, "contains no audio");
    const OutputFormat format = choose_output_format({block.rate, block.channels, options.bit_rate, options.downmix});
    const SourceTags tags = read_tags(options.input);
    // Parts joined in a file can be abandoned and written again; not so in a FIFO or device.
    const int threads = !regular_output(options.output) ? 1 : options.threads > 0 ? options.threads : online_cores();
    Progress progress(source.facts().frames, source.facts().rate);
    const ParallelJob job{options, source.facts(), block.rate, block.channels, format, tags, threads, progress};
    if (threads > 1) {
        if (encode_in_parallel(job)) return;
        progress.continue_from_here();
    }
    Mp3Writer writer(options.output, format, options.bit_rate);
    try {
        writer.write_leading(tags.leading);
        FormatConverter converter(format.rate, format.channels);
        std::vector<float> pcm;
        do {
            pcm.clear();
            converter.convert(block, pcm);
            writer.encode(pcm.data(), pcm.size() / static_cast<std::size_t>(format.channels));
            progress.advance(static_cast<std::int64_t>(block.frames()));
        } while (source.read(block));
        pcm.clear();
        converter.flush(pcm);
        writer.encode(pcm.data(), pcm.size() / static_cast<std::size_t>(format.channels));
        writer.finish(tags.trailing);
        progress.done();
    } catch (const Failure&) {
        writer.abandon();
        throw;
    }
}

void convert(const Options& options) {
    auto source = open_source(options.input);
    if (worth_copying(source->facts(), options)) {
        copy_file(options, source->facts());
        return;
    }
    if (options.downmix && source->facts().mpeg) source = open_mono_source(options.input);
    encode_file(options, *source);
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

int run(const Options& options) {
    if (same_file(options.input, options.output))
        fail(kFailOutput, options.output, "the output is the input file itself");
    OutputFile output(options.output);
    Options staged = options;
    staged.output = output.work_path();
    try {
        convert(staged);
    } catch (Failure& failure) {
        // The user knows the output by the name they gave, not by its temporary one.
        replace_all(failure.message, staged.output, options.output);
        throw;
    }
    output.commit();
    return kSuccess;
}

} // namespace

int main(int argc, char** argv) {
    // A reader that went away must not cost the encode: progress writes just fail.
    std::signal(SIGPIPE, SIG_IGN);
    Options options;
    const bool complete = parse_options(argc, argv, options);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kSuccess;
    }
    if (options.version) {
        std::fputs(kVersion, stdout);
        return kSuccess;
    }
    if (!complete) {
        std::fputs(kUsage, stderr);
        return kFailUsage;
    }
    try {
        return run(options);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "\n%s\n", failure.message.c_str());
        return failure.code;
    }
}
