#pragma once

#include "primitives/Text.h"
#include "shared/Descriptor.h"

namespace primitives {

// An advisory lock on a folder, taken through a file inside it and held for as long
// as this object lives: whoever finds the folder can tell whether its owner still runs.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Creates the lock file in folder and takes the lock; false when it could not.
    bool acquire(const Text& folder);
    // Removes the lock file and lets the lock go.
    void release();

    // True when a lock file in folder is held by a running process.
    static bool in_use(const Text& folder);
    static constexpr const char* kFileName = "lock";

private:
    shared::Descriptor m_fd;
    Text m_path;
};

} // namespace primitives
