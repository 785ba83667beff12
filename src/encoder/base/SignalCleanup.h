#pragma once

#include <functional>
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
    // The same for a file that make (given the name, and failing with -1 and errno as
    // open does) brings into being some other way: a new name from pattern until make
    // fails otherwise than with EEXIST, or the one name path. Returns what make returned.
    static int make_listed(std::string& pattern, int& slot, const std::function<int(const char*)>& make);
    static int make_listed_as(const std::string& path, int& slot, const std::function<int(const char*)>& make);
    // Takes the file off the list (it was renamed or removed).
    static void drop(int slot);

private:
    static int add(const std::string& path);
    static int create_new(const char* path);
};

} // namespace encoder
