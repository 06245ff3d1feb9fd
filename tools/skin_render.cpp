// Renders every SVG picture of a skin folder to a PNG of the same name, so that the image names
// the program uses ("ms/key_left_normal.png", "common/background.png" ...) exist in the skin the
// build puts beside the programs.
//
//   vq_skin_render SOURCE_IMAGES_DIR OUTPUT_IMAGES_DIR
//
// A PNG is written only when it is missing or older than its SVG. Exit code 0 on success, 1 when
// a picture could not be read or written (each failure is named on standard error).

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

bool Render(const QString& svgPath, const QString& pngPath) {
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "skin_render: cannot read %s\n", qPrintable(svgPath));
        return false;
    }
    const QSize size = renderer.defaultSize();
    if (size.isEmpty()) {
        std::fprintf(stderr, "skin_render: %s has no size\n", qPrintable(svgPath));
        return false;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    QDir().mkpath(QFileInfo(pngPath).absolutePath());
    if (!image.save(pngPath, "PNG")) {
        std::fprintf(stderr, "skin_render: cannot write %s\n", qPrintable(pngPath));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vq_skin_render SOURCE_IMAGES_DIR OUTPUT_IMAGES_DIR\n");
        return 2;
    }
    // Rendering needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir source(QString::fromLocal8Bit(argv[1]));
    const QDir output(QString::fromLocal8Bit(argv[2]));
    if (!source.exists()) {
        std::fprintf(stderr, "skin_render: no folder %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    int written = 0;
    QDirIterator it(source.absolutePath(), {"*.svg"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString svgPath = it.next();
        QString relative = source.relativeFilePath(svgPath);
        relative.chop(4);
        const QString pngPath = output.filePath(relative + ".png");
        const QFileInfo svgInfo(svgPath);
        const QFileInfo pngInfo(pngPath);
        if (pngInfo.exists() && pngInfo.lastModified() >= svgInfo.lastModified()) continue;
        if (Render(svgPath, pngPath)) {
            ++written;
        } else {
            ok = false;
        }
    }
    std::printf("skin_render: %d picture(s) rendered\n", written);
    return ok ? 0 : 1;
}
