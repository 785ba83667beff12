#include "encoder/base/SharedLibrary.h"

#include <dlfcn.h>

namespace encoder {

SharedLibrary::SharedLibrary(const char* name) : m_name(name), m_handle(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {
    if (!m_handle) m_error = "cannot load " + m_name + ": " + dlerror();
}

void* SharedLibrary::symbol(const char* name) {
    if (!m_handle) return nullptr;
    void* found = dlsym(m_handle, name);
    if (!found && m_error.empty()) m_error = m_name + " has no " + name;
    return found;
}

} // namespace encoder
