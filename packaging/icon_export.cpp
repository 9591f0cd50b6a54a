// Build-time tool: turns the window's 32 x 32 icon into the files the
// platforms want, all from the same image: PNGs for the desktop's icon theme
// (the larger ones scaled by whole factors, pixel for pixel, so they stay
// sharp) and a 32-bit ICO of six sizes for the Windows executable. Every size
// is made by integer arithmetic (icon_scale.h), so the files are the same
// bytes on any processor: the committed ICO is held to them.
//
//   icon_export ICON.xpm OUTPUT_DIR     writes icon-N.png and icon.ico
#include "icon_scale.h"

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {

// The image at `size` pixels (see ScaleByArea), as a QImage to write.
QImage Scaled(const QImage& icon, int size) {
  const QImage source = icon.convertToFormat(QImage::Format_ARGB32);
  egn::icon::Image image{source.width(), {}};
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x) image.pixels.push_back(source.pixel(x, y));
  const egn::icon::Image scaled = egn::icon::ScaleByArea(image, size);
  QImage result(size, size, QImage::Format_ARGB32);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      result.setPixel(x, y, scaled.pixels[static_cast<std::size_t>(y) * size + x]);
  return result;
}

// One image of an ICO: 32 bits per pixel with its alpha (and the AND mask
// Windows still reads), or PNG for 256 pixels.
QByteArray IcoImage(const QImage& image) {
  QByteArray bytes;
  if (image.width() == 256) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
  }
  const int w = image.width(), h = image.height();
  const int mask_stride = ((w + 31) / 32) * 4;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
      << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);  // BITMAPINFOHEADER
  for (int y = h - 1; y >= 0; --y) {                                        // bottom-up, BGRA
    for (int x = 0; x < w; ++x) {
      const QRgb c = image.pixel(x, y);
      out << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(qAlpha(c));
    }
  }
  for (int y = h - 1; y >= 0; --y) {
    QByteArray row(mask_stride, '\0');
    for (int x = 0; x < w; ++x) {
      if (qAlpha(image.pixel(x, y)) < 128)
        row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    out.writeRawData(row.constData(), static_cast<int>(row.size()));
  }
  return bytes;
}

// The Windows icon: 32-bit images of 32 (the image itself, first), 16, 24,
// 48, 64 and 256 pixels, so that the taskbar and the Start menu find a sharp
// one at any scale.
bool WriteIco(const QImage& icon, const QString& path) {
  const int sizes[] = {32, 16, 24, 48, 64, 256};
  QList<QByteArray> images;
  for (const int size : sizes) images.append(IcoImage(Scaled(icon, size)));
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out << quint16(0) << quint16(1) << quint16(images.size());  // ICONDIR
  quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
  for (qsizetype i = 0; i < images.size(); ++i) {
    const int size = sizes[i];
    out << quint8(size == 256 ? 0 : size) << quint8(size == 256 ? 0 : size) << quint8(0)
        << quint8(0) << quint16(1) << quint16(32) << quint32(images[i].size()) << offset;
    offset += static_cast<quint32>(images[i].size());
  }
  for (const QByteArray& image : images)
    out.writeRawData(image.constData(), static_cast<int>(image.size()));
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
    if (!Scaled(icon, size).save(QString("%1/icon-%2.png").arg(dir).arg(size), "PNG")) return 1;
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
