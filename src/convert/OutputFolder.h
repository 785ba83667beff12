#pragma once

#include "primitives/Text.h"

class QPlainTextEdit;

namespace convert {

// 编辑框1 shows the output folder as the user reads it; the folder's own bytes, which
// may not be UTF-8 (a folder unpacked from a Windows archive), are kept beside the
// text, as a row keeps its path's bytes beside what it shows.
void show_output_folder(QPlainTextEdit* box, const primitives::Text& bytes);
// The folder's bytes while the box shows what was put there; else the text itself.
primitives::Text output_folder(const QPlainTextEdit* box);

} // namespace convert
