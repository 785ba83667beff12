#pragma once

#include <QIcon>
#include <QImage>

namespace shell {

// Our own pictures, drawn rather than shipped: the About banner and the program icon.
QImage about_picture();   // 400 x 140, 32 bits per pixel
QIcon application_icon(); // every size of kIconSizes
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
QImage application_icon_image(int size);

} // namespace shell
