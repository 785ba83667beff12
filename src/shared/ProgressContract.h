#pragma once

#include <string_view>

// What tvenc prints while it works, and what the conversion run reads from it: one
// definition for both sides.
namespace progress_contract {

// A progress line: the figure follows the prefix at once and ends at the "%"; the
// line ends in two blanks and a carriage return. Below 100.0 it goes to stderr, the
// 100.0 line to stdout, followed by a line feed on stderr.
inline constexpr char kPrefix[] = "Completion:";
inline constexpr char kFigureEnd = '%';
inline constexpr char kLineFormat[] =
    "Completion:%5.1f%%, Elapsed time: %d:%02d, Time to go: %d:%02d, Speed: %.1fx  \r";
static_assert(std::string_view(kLineFormat).starts_with(kPrefix), "the line starts with the prefix");

// A failure: one line starting so, naming the file and the reason. A reader that
// takes any "n:" before a "%" as progress must never find one in it.
inline constexpr char kFailurePrefix[] = "tvenc: ";

// The result went under a numbered name ("name (2).mp3", shared::numbered_path of the
// output as given) because another file came to the output's name while it was
// converted: after the last progress line, one line of this prefix, the number, ": "
// and the name written.
inline constexpr char kNumberedPrefix[] = "tvenc: the name was taken meanwhile; the result is number ";

} // namespace progress_contract
