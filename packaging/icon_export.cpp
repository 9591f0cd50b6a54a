// Build-time tool: turns the window's 32 x 32 icon into the files the
// platforms want, all from the same image: PNGs for the desktop's icon theme
// (the larger ones scaled by whole factors, pixel for pixel, so they stay
// sharp) and a 256-colour ICO for the Windows executable.
//
//   icon_export ICON.xpm OUTPUT_DIR     writes icon-N.png and icon.ico
#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

// A single-image ICO: 32 x 32, 8 bits per pixel with a 256-entry palette, and
// the transparency as the AND mask.
bool WriteIco(const QImage& source, const QString& path) {
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  QList<QRgb> palette;
  QImage indexed(image.size(), QImage::Format_Indexed8);
  indexed.setColorCount(256);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb opaque = image.pixel(x, y) | 0xFF000000u;
      qsizetype at = palette.indexOf(opaque);
      if (at < 0) {
        if (palette.size() == 256) return false;
        palette.append(opaque);
        at = palette.size() - 1;
      }
      indexed.setPixel(x, y, static_cast<uint>(at));
    }
  }
  const int w = image.width(), h = image.height();
  const int mask_stride = ((w + 31) / 32) * 4;
  const quint32 bitmap_size = 40 + 256 * 4 + static_cast<quint32>(w * h + mask_stride * h);

  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint16(0) << quint16(1) << quint16(1);  // ICONDIR
  out << quint8(w) << quint8(h) << quint8(0) << quint8(0) << quint16(1) << quint16(8) << bitmap_size
      << quint32(6 + 16);  // ICONDIRENTRY
  out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(8) << quint32(0)
      << quint32(0) << qint32(0) << qint32(0) << quint32(256) << quint32(0);  // BITMAPINFOHEADER
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < palette.size() ? palette[i] : 0;
    out << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(0);
  }
  for (int y = h - 1; y >= 0; --y) {  // bottom-up
    for (int x = 0; x < w; ++x) out << quint8(indexed.pixelIndex(x, y));
  }
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(mask_stride, '\0');
    for (int x = 0; x < w; ++x) {
      if (qAlpha(image.pixel(x, y)) < 128)
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    out.writeRawData(row.constData(), static_cast<int>(row.size()));
  }
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: icon_export ICON.xpm OUTPUT_DIR\n");
    return 2;
  }
  const QImage icon(QString::fromLocal8Bit(argv[1]));
  if (icon.isNull() || icon.size() != QSize(32, 32)) {
    std::fprintf(stderr, "icon_export: %s is not a 32 x 32 image\n", argv[1]);
    return 1;
  }
  const QString dir = QString::fromLocal8Bit(argv[2]);
  for (const int size : {32, 64, 128, 256}) {
    const QImage scaled = icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!scaled.save(QString("%1/icon-%2.png").arg(dir).arg(size), "PNG")) return 1;
  }
  if (!WriteIco(icon, dir + "/icon.ico")) {
    std::fprintf(stderr, "icon_export: cannot write the ICO\n");
    return 1;
  }
  // Read the ICO back and hold it against the source, pixel for pixel.
  const QImage written = QImage(dir + "/icon.ico", "ICO").convertToFormat(QImage::Format_ARGB32);
  const QImage source = icon.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const QRgb a = written.isNull() ? 0 : written.pixel(x, y), b = source.pixel(x, y);
      if (qAlpha(a) != qAlpha(b) || (qAlpha(b) != 0 && a != b)) {
        std::fprintf(stderr, "icon_export: the ICO differs from the icon at %d,%d\n", x, y);
        return 1;
      }
    }
  }
  return 0;
}
