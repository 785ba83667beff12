#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace primitives {

// Texts are byte strings; positions are 1-based byte positions. Tag fields are GBK,
// file paths are UTF-8: the walk that searches a text must know which it is, or a
// separator hidden inside a multi-byte character is found where there is none.
using Text = std::string;
using Bytes = std::vector<std::uint8_t>;

enum class CodePage { Gbk, Utf8 };

Text to_text(int value);
Text to_text(std::int64_t value);
Text to_text(double value);
Text to_text(const Bytes& block);

double to_number(const Text& text);

std::int64_t text_length(const Text& text);
Text middle_text(const Text& text, std::int64_t start, std::int64_t count);
Text right_text(const Text& text, std::int64_t n);

std::int64_t find_text(const Text& text, const Text& sought, CodePage page = CodePage::Gbk);
std::int64_t find_text_from_end(const Text& text, const Text& sought, CodePage page = CodePage::Gbk);

Text to_upper(const Text& text);
Text join_texts(std::initializer_list<Text> texts);

double round_to(double x, int decimals = 0);
// The largest whole number not above x (a value a hair below a whole number counts
// as that number). Values beyond the 64-bit range, and the infinities, give the
// nearest end of the range; NaN gives 0.
std::int64_t integer_part(double x);

Bytes blank_bytes(std::int64_t n);
Bytes middle_bytes(const Bytes& block, std::int64_t start, std::int64_t count);

} // namespace primitives
