#include "TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TempDir::TempDir() {
    char pattern[] = "/tmp/tunvask-test-XXXXXX";
    m_path = ::mkdtemp(pattern);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const std::string path = file(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TmpfsMount::TmpfsMount(const std::string& options, unsigned long flags)
    : m_mounted(::mount("tmpfs", m_folder.path().c_str(), "tmpfs", flags, options.c_str()) == 0) {}

ListeningSocket::ListeningSocket(const std::string& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    m_listening =
        m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, 4) == 0;
}

ListeningSocket::~ListeningSocket() {
    close();
}

void ListeningSocket::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_listening = false;
}

TmpfsMount::~TmpfsMount() {
    if (!m_mounted) return;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.path(), ignored))
        std::filesystem::remove_all(entry.path(), ignored);
    ::umount2(m_folder.path().c_str(), MNT_DETACH);
}

const TempDir& suite_folder(const std::string& name, void (*make)(const TempDir&)) {
    static std::map<std::string, std::unique_ptr<TempDir>> folders;
    auto& folder = folders[name];
    if (!folder) {
        folder = std::make_unique<TempDir>();
        make(*folder);
    }
    return *folder;
}

std::string corpus_folder() {
    if (const char* env = std::getenv("TUNVASK_CORPUS")) return env;
    for (const char* candidate : {TUNVASK_SOURCE_DIR "/../shared/corpus", TUNVASK_SOURCE_DIR "/../../shared/corpus"}) {
        if (std::filesystem::is_regular_file(std::string(candidate) + "/README.md"))
            return std::filesystem::canonical(candidate).string();
    }
    return {};
}

std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}
