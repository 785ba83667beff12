#pragma once

#include <string>
#include <vector>

// A fresh folder under /tmp, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};

// Folder of the shared test corpus of real MP3 files, or empty when it is absent.
std::string corpus_folder();
std::string read_whole(const std::string& path);
