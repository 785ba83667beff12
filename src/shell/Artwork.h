#pragma once

#include <QIcon>
#include <QImage>

namespace shell {

// Our own pictures, drawn rather than shipped: the About banner and the program icon.
QImage about_picture();      // 400 x 140, 32 bits per pixel
QIcon application_icon();    // 32 x 32 and larger sizes

} // namespace shell
