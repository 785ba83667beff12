#pragma once

#include <string>

namespace encoder {

// The files tvenc has made and not yet finished: removed when a signal ends the
// process (an interrupt, a logout, the program that started it going away), so no
// half-written temporary file is ever left beside the user's music.
class SignalCleanup {
public:
    // Catches SIGINT, SIGTERM, SIGHUP and SIGQUIT: they remove every listed file and
    // then end the process with the same signal. SIGXFSZ and SIGPIPE are ignored, so an
    // oversized write or a reader that went away fails as an ordinary write error.
    static void install();
    // Creates a new file from pattern (its last six X replaced, as mkstemp does) and
    // lists it before it exists, so no signal can come between its making and its
    // listing. Returns the open descriptor and sets slot, or -1 (errno says why).
    static int create_listed(std::string& pattern, int& slot);
    // The same under the name path itself; -1 with EEXIST when it is taken.
    static int create_listed_as(const std::string& path, int& slot);
    // Lists a path that is about to be made some other way; the slot, or -1.
    static int list(const std::string& path) { return add(path); }
    // Takes the file off the list (it was renamed or removed).
    static void drop(int slot);

private:
    static int add(const std::string& path);
};

} // namespace encoder
