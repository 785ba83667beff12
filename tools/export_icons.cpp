// Writes the program icon, drawn by the program's own artwork code, as PNG files
// for the desktop's icon theme: export_icons <folder> writes tunvask-<size>.png.
#include "shell/Artwork.h"

#include <QGuiApplication>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: export_icons <folder>\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int size : shell::kIconSizes) {
        const QString path = QStringLiteral("%1/tunvask-%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!shell::application_icon_image(size).save(path)) {
            std::fprintf(stderr, "export_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
