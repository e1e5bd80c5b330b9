#include "ui/clipboard_frames.h"

#include <QMimeData>
#include <cstring>

#include "core/clipboard_record.h"
#include "formats/dib.h"

namespace fw {

std::vector<uint8_t> ImageToDib(const QImage& image) {
  if (image.isNull()) return {};
  const bool alpha = image.hasAlphaChannel();
  const QImage source = image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888);
  const int width = source.width(), height = source.height();
  const int bits = alpha ? 32 : 24;
  const size_t stride = DibStride(width, bits);
  std::vector<uint8_t> dib(kDibHeaderBytes + stride * static_cast<size_t>(height), 0);
  DibHeader header;
  header.width = width;
  header.height = height;
  header.bitCount = static_cast<uint16_t>(bits);
  StoreDibHeader(header, dib.data());
  for (int y = 0; y < height; ++y) {
    const uchar* from = source.constScanLine(y);
    uint8_t* to = dib.data() + kDibHeaderBytes + stride * static_cast<size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      if (alpha) {
        QRgb p;
        std::memcpy(&p, from + 4 * x, 4);
        to[4 * x] = static_cast<uint8_t>(qBlue(p));
        to[4 * x + 1] = static_cast<uint8_t>(qGreen(p));
        to[4 * x + 2] = static_cast<uint8_t>(qRed(p));
        to[4 * x + 3] = static_cast<uint8_t>(qAlpha(p));
      } else {
        to[3 * x] = from[3 * x + 2];
        to[3 * x + 1] = from[3 * x + 1];
        to[3 * x + 2] = from[3 * x];
      }
    }
  }
  return dib;
}

bool ClipboardHasFrames(const QMimeData* data) {
  return data && (data->hasFormat(QString::fromLatin1(kClipboardMimeType)) || data->hasImage());
}

AnimPtr ClipboardFrames(const QMimeData* data) {
  if (!data) return nullptr;
  const QByteArray record = data->data(QString::fromLatin1(kClipboardMimeType));
  if (!record.isEmpty())
    return UnpackFrames(reinterpret_cast<const uint8_t*>(record.constData()), static_cast<size_t>(record.size()));
  if (!data->hasImage()) return nullptr;
  const std::vector<uint8_t> dib = ImageToDib(qvariant_cast<QImage>(data->imageData()));
  if (dib.empty()) return nullptr;
  return DibToDocument(dib.data(), dib.size(), 0);
}

QMimeData* MakeFramesMimeData(const std::vector<uint8_t>& record, const QImage& currentFrame) {
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kClipboardMimeType),
                QByteArray(reinterpret_cast<const char*>(record.data()), static_cast<qsizetype>(record.size())));
  if (!currentFrame.isNull()) data->setImageData(currentFrame);
  return data;
}

}  // namespace fw
