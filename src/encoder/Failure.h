#pragma once

#include <string>

namespace encoder {

// Exit statuses, one per kind of trouble, so scripts can tell them apart.
enum ExitCode { kSuccess = 0, kFailUsage = 2, kFailInput = 3, kFailOutput = 4 };

// What went wrong, in a word that the program and scripts can rely on, whatever the
// wording of the reason: the failure line ends with it in brackets.
enum class Cause {
    NotAudio,    // not-audio: no audio that any decoder here recognises
    Empty,       // empty: the source has no bytes
    Damaged,     // damaged: decoding broke down
    Unsupported, // unsupported: a rate or channel count no encoder takes
    NoSource,    // no-source: the source is not there (moved or deleted)
    Unreadable,  // unreadable: the source may not be read, or reading failed
    NotAFile,    // not-a-file: a folder, FIFO, device or socket where a file must be
    NoFolder,    // no-folder: the output's folder is not there
    ReadOnly,    // read-only: the output may not be written there
    DiskFull,    // disk-full: no room, or the file-size limit
    NoMemory,    // no-memory: memory ran out
    SameFile,    // same-file: the output is the source itself
    Format,      // format: no MP3 format fits the bit rate and the source's rate
    Internal,    // internal: anything else
};

// Carries a "tvenc: '<file>': <reason> [<cause>]" line up to main, which prints it and
// exits.
struct Failure {
    ExitCode code;
    std::string message;
};

[[noreturn]] void fail(ExitCode code, Cause cause, const std::string& file, const std::string& reason);
// The reason and its cause from an error number of the system (errno).
[[noreturn]] void fail_errno(ExitCode code, const std::string& file, int error);
// The word that names cause in the failure line.
const char* cause_word(Cause cause);

} // namespace encoder
