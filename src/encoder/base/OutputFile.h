#pragma once

#include "encoder/base/StdioFile.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>

namespace encoder {

// Where tvenc writes its result. The output appears only when complete: the encode
// goes to a nameless file on the output's file system, which commit() names and
// renames onto the output path; until then, and after any failure or signal (a kill
// included), whatever sat at the output path is untouched and nothing else is there.
// Where the file system has no nameless files, a hidden file beside the output takes
// its place (shared::work_file_of). Only a regular file, or a new name, is an output:
// a FIFO, device or socket there is refused at once, without waiting on it.
// The result replaces only the file that stood at the output when the encode began:
// where another has come to that name since (another program writing into the same
// folder), or one came where none was, that file stays and the result takes the next
// free numbered name ("name (2).mp3").
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The output as the user named it: every message uses this name.
    const std::string& path() const { return m_path; }
    std::FILE* stream() { return m_stream.get(); }
    // Empties what was written so far, for a second attempt.
    void start_over();
    // A nameless file on the output's file system for one part of a parallel encode,
    // gone when closed; null when none can be had.
    StdioFile scratch() const;
    // Closes the stream and puts the result in place: 0 where it went to the output, else
    // the number of the name it took (numbered(n)).
    int commit();
    // The n-th numbered name tried where the output is taken, as the user would name it.
    std::string numbered(int n) const;

private:
    void stage_beside(int mode);
    void name_the_result();
    // Moves the finished result to name unless a file is there; false where one is.
    bool take_free_name(const std::string& name);

    std::string m_path;  // as the user gave it
    std::string m_final; // where the result goes (a symlink's target)
    std::string m_work;  // the hidden file, while there is one
    StdioFile m_stream;
    int m_slot = -1; // the hidden file's place on the list removed by ending signals
    // The file at the output when the encode began, the one the result may replace.
    std::optional<std::pair<dev_t, ino_t>> m_replaced;
};

} // namespace encoder
