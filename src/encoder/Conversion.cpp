#include "encoder/Conversion.h"

#include "encoder/base/Console.h"
#include "encoder/base/Failure.h"
#include "encoder/base/OutputFile.h"
#include "encoder/base/Progress.h"
#include "encoder/base/SourceFile.h"
#include "encoder/decode/AudioSource.h"
#include "encoder/decode/FormatConverter.h"
#include "encoder/decode/MpegSync.h"
#include "encoder/decode/Tags.h"
#include "encoder/mp3/Mp3Writer.h"
#include "encoder/parallel/ParallelEncoder.h"
#include "shared/FileIdentity.h"
#include "shared/ProgressContract.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace encoder {

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
    Progress progress(facts.samples, facts.rate);
    std::FILE* out = output.stream();
    char buffer[1 << 16];
    std::int64_t at = 0;
    ssize_t n = 0;
    while ((n = source.read_at(buffer, sizeof buffer, at)) > 0) {
        if (std::fwrite(buffer, 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n))
            fail_errno(kFailOutput, output.path(), errno);
        at += n;
    }
    // A partial copy is never a result: the staged output goes with the failure.
    if (n < 0) fail_errno(kFailInput, source.path(), errno);
    if (std::fflush(out) != 0) fail_errno(kFailOutput, output.path(), errno);
    progress.advance(facts.samples);
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
    Progress progress(source.facts().samples, source.facts().rate);
    const ParallelJob job{options,        file,   output, source.facts(), block.rate,
                          block.channels, format, tags,   threads,        progress};
    // One thread is a reason of its own: nothing was tried, so there is nothing to undo.
    const std::optional<OneCoreReason> one_core = encode_in_parallel(job);
    if (!one_core) return;
    if (options.report_joins) Console::print_line(std::string("tvenc: on one core: ") + describe(*one_core));
    if (*one_core != OneCoreReason::OneThread) {
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

void fail_if_written(const SourceFile& file) {
    if (file.written_since_opened())
        fail(kFailInput, Cause::Changed, file.path(),
             "the file was written to while it was converted; convert it again");
}

// The result is put in place only if the source stayed as it was opened.
void commit(const SourceFile& file, OutputFile& output) {
    fail_if_written(file);
    const int number = output.commit();
    if (number == 0) return;
    Console::print_line(progress_contract::kNumberedPrefix + std::to_string(number) + ": '" +
                        echoed(output.numbered(number)) + "'");
}

int convert_opened(const Options& options, const SourceFile& file) {
    auto source = open_source(file);
    // A file from which nothing decodes is no audio at any rate: not even one to copy.
    AudioBlock block;
    const auto first_block = [&] {
        if (!source->read(block)) fail(kFailInput, Cause::NotAudio, options.input, "contains no audio");
    };
    first_block();
    // A damaged stream is re-encoded, its damage passed over, rather than copied with it.
    if (worth_copying(source->facts(), options) && MpegSync::unbroken(file, leading_tag_bytes(file))) {
        OutputFile output(options.output);
        copy_file(file, source->facts(), output);
        commit(file, output);
        return kSuccess;
    }
    if (options.downmix && source->facts().mpeg) {
        source = open_mono_source(file);
        first_block();
    }
    const OutputFormat format =
        choose_output_format({block.rate, block.channels, options.bit_rate, options.downmix}, options.output);
    OutputFile output(options.output);
    encode_file(options, file, *source, block, format, output);
    commit(file, output);
    return kSuccess;
}

} // namespace

int convert(const Options& options) {
    // Only a regular file is read: a FIFO would block the encoder (and the run) for ever,
    // a device would never end. It is opened once, and only that file is read.
    const SourceFile file(options.input);
    if (shared::same_file(options.input, options.output))
        fail(kFailOutput, Cause::SameFile, options.output, "the output is the input file itself");
    try {
        return convert_opened(options, file);
    } catch (const Failure&) {
        // A source cut short or rewritten meanwhile breaks its decoding: the change is the cause.
        fail_if_written(file);
        throw;
    }
}

} // namespace encoder
