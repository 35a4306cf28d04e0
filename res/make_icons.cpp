// make_icons FOLDER NAME: writes the program's icon as FOLDER/<n>x<n>/apps/NAME.png at every
// size a desktop asks for. Each is one of the two hand-drawn pictures enlarged by a whole
// factor, pixel by pixel, never smoothed: it is pixel art, and a blurred edge or an uneven
// step would be something its artist never drew. 16 and 48 pixels come from the 16-pixel
// picture, the rest from the 32-pixel one.
#include "kyrattack16.xpm"
#include "kyrattack32.xpm"

#include <QDir>
#include <QImage>

#include <cstdio>

namespace {

struct IconSize {
    int size;
    const QImage* picture;
};

bool WriteIcon(const QString& root, const QString& name, const IconSize& icon) {
    const QString folder = QString("%1/%2x%2/apps").arg(root).arg(icon.size);
    const QString path = folder + "/" + name + ".png";
    const QImage enlarged =
        icon.picture->scaled(icon.size, icon.size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (QDir().mkpath(folder) && enlarged.save(path, "PNG"))
        return true;
    fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: make_icons FOLDER NAME\n");
        return 2;
    }
    const QImage small(kyrattack16_xpm);
    const QImage large(kyrattack32_xpm);
    if (small.size() != QSize(16, 16) || large.size() != QSize(32, 32)) {
        fprintf(stderr, "make_icons: the hand-drawn icons do not read as 16 and 32 pixels\n");
        return 1;
    }
    const IconSize sizes[] = {{16, &small}, {32, &large},  {48, &small},
                              {64, &large}, {128, &large}, {256, &large}};
    for (const IconSize& icon : sizes) {
        // A whole factor only: each source pixel becomes an even square.
        if (icon.size % icon.picture->width() != 0 || !WriteIcon(argv[1], argv[2], icon))
            return 1;
    }
    return 0;
}
