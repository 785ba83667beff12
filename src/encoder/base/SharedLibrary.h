#pragma once

#include <string>

namespace encoder {

// A library opened when it is first needed rather than at every start of tvenc, where
// loading it would cost every conversion time that no other core can share. Never
// closed: its functions are used up to the end of the process.
class SharedLibrary {
public:
    explicit SharedLibrary(const char* name);

    template <typename Functions> struct Loaded {
        Functions functions{};
        std::string error; // empty when the library and all its functions were found
    };
    // The library's functions, each bound by bind_all(library, functions).
    template <typename Functions, typename BindAll> static Loaded<Functions> load(const char* name, BindAll bind_all) {
        SharedLibrary library(name);
        Loaded<Functions> loaded;
        bind_all(library, loaded.functions);
        loaded.error = library.error();
        return loaded;
    }

    // Sets function to the library's function of that name; where it is missing, the
    // reason is kept in error().
    template <typename Function> void bind(Function& function, const char* name) {
        function = reinterpret_cast<Function>(symbol(name));
    }
    // Empty while the library and every function asked for were found.
    const std::string& error() const { return m_error; }

private:
    void* symbol(const char* name);

    std::string m_name;
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace encoder
