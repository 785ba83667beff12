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

// A Unix socket listening at path (a compositor's, say, or something that is no regular
// file at an output name), closed when the test ends.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string& path);
    ~ListeningSocket();
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    bool listening() const { return m_listening; }
    // Stops listening; the socket file stays.
    void close();

private:
    int m_fd;
    bool m_listening;
};

// A small tmpfs of its own mounted on a fresh folder, unmounted when the test ends.
// Needs root (or a user namespace); mounted() says whether it worked.
class TmpfsMount {
public:
    // flags as mount(2) takes them: MS_RDONLY, MS_NOEXEC.
    explicit TmpfsMount(const std::string& options = "size=4m", unsigned long flags = 0);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& path() const { return m_folder.path(); }
    std::string file(const std::string& name) const { return m_folder.file(name); }
    std::string write(const std::string& name, const std::string& content) const {
        return m_folder.write(name, content);
    }

private:
    TempDir m_folder;
    bool m_mounted;
};

// A folder that a test suite's cases share, made on first use and removed when the
// test program ends: inputs too long to make for every case are made once in it.
// make fills a new folder; it is not called again for the same name.
const TempDir& suite_folder(const std::string& name, void (*make)(const TempDir&));

// Folder of the shared test corpus of real MP3 files, or empty when it is absent.
std::string corpus_folder();
std::string read_whole(const std::string& path);
