#pragma once

#include <cstdio>
#include <string>

namespace encoder {

// Where tvenc's own lines go. The libraries it uses print notes of their own on
// standard error that no flag silences (libsndfile's libmpg123, libmpg123 on some damaged
// streams): once taken over, descriptor 2 goes to /dev/null for them, and tvenc writes to
// the standard error it was started with through a descriptor of its own.
class Console {
public:
    // Until then, and where it cannot be done, tvenc's lines go to stderr as they are.
    static void take_over_standard_error();
    static std::FILE* stream();
    // A progress line is open (it ends in a carriage return only) or closed.
    static void set_progress_open(bool open);
    // line on a line of its own, after a line feed where a progress line is open.
    static void print_line(const std::string& line);
};

} // namespace encoder
