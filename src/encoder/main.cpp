#include "encoder/AudioSource.h"
#include "encoder/Failure.h"
#include "encoder/FormatConverter.h"
#include "encoder/Mp3Writer.h"
#include "encoder/Options.h"
#include "encoder/OutputFile.h"
#include "encoder/ParallelEncoder.h"
#include "encoder/Progress.h"
#include "encoder/SignalCleanup.h"
#include "encoder/SourceFile.h"
#include "encoder/StdioFile.h"
#include "encoder/Tags.h"
#include "shared/FileIdentity.h"
#include "shared/ProgressContract.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace encoder;

namespace {

// A source that is already as small as asked would only grow and lose quality. One
// percent of slack lets a constant-rate file whose frames carry padding bytes count as
// its nominal rate.
bool worth_copying(const StreamFacts& facts, const Options& options) {
    if (!facts.mpeg || facts.layer != 3 || facts.average_bit_rate <= 0) return false;
    if (options.downmix && !facts.mono_throughout) return false;
    return facts.average_bit_rate <= options.bit_rate * 1.01;
}

void copy_file(const SourceFile& source, const StreamFacts& facts, OutputFile& output) {
    Progress progress(facts.frames, facts.rate);
    std::FILE* out = output.stream();
    char buffer[1 << 16];
    std::int64_t at = 0;
    ssize_t n = 0;
    while ((n = source.read_at(buffer, sizeof buffer, at)) > 0) {
        if (std::fwrite(buffer, 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n))
            fail(kFailOutput, output.path(), std::strerror(errno));
        at += n;
    }
    // A partial copy is never a result: the staged output goes with the failure.
    if (n < 0) fail(kFailInput, source.path(), std::strerror(errno));
    if (std::fflush(out) != 0) fail(kFailOutput, output.path(), std::strerror(errno));
    progress.advance(facts.frames);
    progress.done();
}

int online_cores() {
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    return cores > 0 ? static_cast<int>(cores) : 1;
}

void encode_file(const Options& options, const SourceFile& file, AudioSource& source, AudioBlock& block,
                 const OutputFormat& format, OutputFile& output) {
    const SourceTags tags = read_tags(file);
    const int threads = options.threads > 0 ? options.threads : online_cores();
    Progress progress(source.facts().frames, source.facts().rate);
    const ParallelJob job{options,        file,   output, source.facts(), block.rate,
                          block.channels, format, tags,   threads,        progress};
    if (threads > 1) {
        if (encode_in_parallel(job)) return;
        output.start_over();
        progress.continue_from_here();
    }
    Mp3Writer writer(output.stream(), output.path(), format, options.bit_rate);
    writer.write_leading(tags.leading);
    FormatConverter converter(format.rate, format.channels);
    const auto channels = static_cast<std::size_t>(format.channels);
    do {
        const std::span<const float> pcm = converter.convert(block);
        writer.encode(pcm.data(), pcm.size() / channels);
        progress.advance(static_cast<std::int64_t>(block.frames()));
    } while (source.read(block));
    const std::span<const float> rest = converter.flush();
    writer.encode(rest.data(), rest.size() / channels);
    writer.finish(tags.trailing);
    progress.done();
}

int run(const Options& options) {
    // Only a regular file is read: a FIFO would block the encoder (and the run) for ever,
    // a device would never end. It is opened once, and only that file is read.
    const SourceFile file(options.input);
    if (shared::same_file(options.input, options.output))
        fail(kFailOutput, options.output, "the output is the input file itself");
    auto source = open_source(file);
    if (worth_copying(source->facts(), options)) {
        OutputFile output(options.output);
        copy_file(file, source->facts(), output);
        output.commit();
        return kSuccess;
    }
    if (options.downmix && source->facts().mpeg) source = open_mono_source(file);
    AudioBlock block;
    if (!source->read(block)) fail(kFailInput, options.input, "contains no audio");
    const OutputFormat format =
        choose_output_format({block.rate, block.channels, options.bit_rate, options.downmix}, options.output);
    OutputFile output(options.output);
    encode_file(options, file, *source, block, format, output);
    output.commit();
    return kSuccess;
}

// Started by a program that asked for it, tvenc ends (and cleans up) when that
// program goes, however it went.
void follow_parent() {
    const char* parent = std::getenv("TVENC_PARENT_PID");
    if (!parent || !*parent) return;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have gone before the request was made.
    if (std::to_string(::getppid()) != parent) std::raise(SIGTERM);
}

int report(ExitCode code, const std::string& message) {
    std::fprintf(stderr, "\n%s\n", message.c_str());
    return code;
}

} // namespace

int main(int argc, char** argv) {
    SignalCleanup::install();
    follow_parent();
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
    // Every failure, whatever thread it arose on, ends here; the staged output is gone by now.
    try {
        return run(options);
    } catch (const Failure& failure) {
        return report(failure.code, failure.message);
    } catch (const std::bad_alloc&) {
        return report(kFailInput, std::string(progress_contract::kFailurePrefix) + "out of memory");
    } catch (const std::exception& error) {
        return report(kFailInput, std::string(progress_contract::kFailurePrefix) + error.what());
    }
}
