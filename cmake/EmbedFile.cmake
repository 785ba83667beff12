# Writes a C++ source that holds the bytes of INPUT as tvenc_image_data.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
    "#include <cstddef>\n#include <cstdint>\n"
    "extern \"C\" const std::uint8_t tvenc_image_data[] = {\n${bytes}\n};\n"
    "extern \"C\" const std::size_t tvenc_image_size = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
