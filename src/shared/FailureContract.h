#pragma once

#include <array>
#include <string_view>

// How tvenc fails, and what the conversion run reads of it: one definition for both
// sides. A failure is one line starting "tvenc: " (progress_contract::kFailurePrefix)
// that ends with one of the cause words in brackets; the exit status tells whether the
// command, the source or the output was at fault.
namespace failure_contract {

enum ExitCode { kSuccess = 0, kUsage = 2, kInput = 3, kOutput = 4 };

// What went wrong, in a word that the program and scripts can rely on, whatever the
// wording of the reason: the failure line ends with it in brackets.
enum class Cause {
    NotAudio,
    Empty,
    Damaged,
    Unsupported,
    NoSource,
    Unreadable,
    NotAFile,
    NoFolder,
    ReadOnly,
    DiskFull,
    NoMemory,
    SameFile,
    Format,
    Internal,
    Changed,
};

// The words, in the order of Cause.
inline constexpr std::array<std::string_view, 15> kCauseWords{
    "not-audio",   // no audio that any decoder here recognises
    "empty",       // the source has no bytes
    "damaged",     // decoding broke down
    "unsupported", // a rate or channel count no encoder takes
    "no-source",   // the source is not there (moved or deleted)
    "unreadable",  // the source may not be read, or reading failed
    "not-a-file",  // a folder, FIFO, device or socket where a file must be
    "no-folder",   // the output's folder is not there
    "read-only",   // the output may not be written there
    "disk-full",   // no room, or the file-size limit
    "no-memory",   // memory ran out
    "same-file",   // the output is the source itself
    "format",      // no MP3 format fits the bit rate and the source's rate
    "internal",    // anything else
    "changed",     // the source was written to while it was converted
};

static_assert(static_cast<std::size_t>(Cause::Changed) + 1 == kCauseWords.size(), "a word for every cause");

constexpr std::string_view cause_word(Cause cause) {
    return kCauseWords[static_cast<std::size_t>(cause)];
}

} // namespace failure_contract
