#pragma once

#include "encoder/StdioFile.h"

#include <string>

namespace encoder {

// Where tvenc writes its result. A regular output appears only when complete: the
// encode goes to a hidden temporary file beside it, which commit() renames onto the
// output path; until then, and after any failure or ending signal, whatever sat at
// the output path is untouched. A device or FIFO at the output path is written
// directly and never removed. Only the temporary file is ever deleted.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The output as the user named it: every message uses this name.
    const std::string& path() const { return m_path; }
    // The stream to write the result to, opened on first use (a FIFO waits for its reader).
    std::FILE* stream();
    // A staged file can be emptied and written again, and has room beside it for parts.
    bool staged() const { return m_temporary; }
    // Empties what was written so far, for a second attempt.
    void start_over();
    // A nameless file on the output's file system for one part of a parallel encode,
    // gone when closed; null when none can be had.
    StdioFile scratch() const;
    // Closes the stream and puts the result in place.
    void commit();

private:
    void stage_beside(const std::string& final_path, int mode);

    std::string m_path;  // as the user gave it
    std::string m_final; // where the result goes (a symlink's target)
    std::string m_work;  // the temporary file, or the device itself
    StdioFile m_stream;
    bool m_temporary = false;
    int m_slot = -1; // the temporary file's place on the list removed by ending signals
};

} // namespace encoder
