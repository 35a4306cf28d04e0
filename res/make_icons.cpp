// make_icons FOLDER NAME: writes the program's icon as FOLDER/<n>x<n>/apps/NAME.png at every
// size a desktop asks for. Each is the 32-pixel picture scaled pixel by pixel, never smoothed:
// it is pixel art, and a blurred edge would be a colour its artist never drew.
#include "kyrattack32.xpm"

#include <QDir>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: make_icons FOLDER NAME\n");
        return 2;
    }
    const QImage icon(kyrattack32_xpm);
    if (icon.isNull()) {
        fprintf(stderr, "make_icons: the 32-pixel icon does not read\n");
        return 1;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(argv[1]).arg(size);
        const QString path = folder + "/" + argv[2] + ".png";
        const QImage scaled =
            icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        if (!QDir().mkpath(folder) || !scaled.save(path, "PNG")) {
            fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
