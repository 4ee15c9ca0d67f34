// Renders the scalable icon into a square PNG of the given size for the
// hicolor theme: render_icon ICON.svg SIZE OUT.png. Uses Qt's SVG image
// plugin; fails when it is missing or the picture comes out empty.
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: render_icon ICON.svg SIZE OUT.png\n");
    return 2;
  }
  const int size = std::atoi(argv[2]);
  if (size < 16 || size > 1024) {
    std::fprintf(stderr, "render_icon: size %s out of 16..1024\n", argv[2]);
    return 2;
  }
  QImageReader reader(QString::fromLocal8Bit(argv[1]), "svg");
  reader.setScaledSize(QSize(size, size));
  QImage image = reader.read();
  if (image.isNull()) {
    std::fprintf(stderr, "render_icon: cannot read %s: %s\n", argv[1],
                 qPrintable(reader.errorString()));
    return 1;
  }
  image = image.convertToFormat(QImage::Format_ARGB32);
  // The rounded square covers the middle: an empty or see-through middle
  // means the SVG was not drawn.
  const QRgb middle = image.pixel(size / 2, size / 2);
  if (image.size() != QSize(size, size) || qAlpha(middle) != 255) {
    std::fprintf(stderr, "render_icon: %s rendered wrongly\n", argv[1]);
    return 1;
  }
  if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "render_icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
