#pragma once

#include <string>

namespace encoder {

// Where tvenc writes its result. A regular output appears only when complete: the
// encode goes to a hidden temporary file beside it, which commit() renames onto the
// output path; until then, and after any failure, whatever sat at the output path
// is untouched. A device or FIFO at the output path is written directly and never
// removed. Only the temporary file is ever deleted, by the destructor unless
// committed.
class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The path the encoder writes to.
    const std::string& work_path() const { return m_work; }
    void commit();

private:
    void stage_beside(const std::string& final_path, int mode);

    std::string m_path;  // as the user gave it, for messages
    std::string m_final; // where the result goes (a symlink's target)
    std::string m_work;
    bool m_temporary = false;
};

} // namespace encoder
