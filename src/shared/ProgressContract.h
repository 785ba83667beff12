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

} // namespace progress_contract
