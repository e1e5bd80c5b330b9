#include <cstdio>
#include <cstring>
#include <memory>

#include "core/picture_limit.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "formats/format_messages.h"
#include "formats/jpeg_error.h"

#include <jerror.h>
#include "formats/jpeg_file.h"

namespace fw {
namespace {

// A progressive file may repeat tiny scans over a huge picture; past this many scans we give
// up rather than spend minutes on a hostile file.
constexpr int kMaxScans = 500;

struct Decoder {
  jpeg_decompress_struct info{};
  JpegErrorTrap trap;
  jpeg_progress_mgr progress{};
  bool created = false;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

void LimitScans(j_common_ptr common) {
  auto* info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->input_scan_number > kMaxScans) {
    common->err->msg_code = JERR_NOT_COMPILED;
    common->err->error_exit(common);
  }
}

// The functions that call into libjpeg hold nothing with a destructor, so the jump back from
// an error skips no cleanup; everything lives in the Decoder.
bool ReadHeader(Decoder& d, std::FILE* file, const uint8_t* data, size_t size) {
  d.info.err = InstallJpegErrorTrap(d.trap);
  if (setjmp(d.trap.jump)) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  d.progress.progress_monitor = LimitScans;
  d.info.progress = &d.progress;
  if (file)
    jpeg_stdio_src(&d.info, file);
  else
    jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d.info, TRUE);
  if (d.info.out_color_space == JCS_RGB) d.info.out_color_space = JCS_EXT_BGR;
  return true;
}

bool ReadRows(Decoder& d, uint8_t* plane, size_t stride) {
  if (setjmp(d.trap.jump)) return false;
  jpeg_start_decompress(&d.info);
  JSAMPARRAY buffer =
      (*d.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                  d.info.output_width * static_cast<JDIMENSION>(d.info.output_components), 1);
  const bool grey = d.info.output_components == 1;
  while (d.info.output_scanline < d.info.output_height) {
    uint8_t* row = plane + static_cast<size_t>(d.info.output_scanline) * stride;
    jpeg_read_scanlines(&d.info, buffer, 1);
    const uint8_t* src = buffer[0];
    if (grey) {
      for (JDIMENSION x = 0; x < d.info.output_width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = src[x];
    } else {
      std::memcpy(row, src, static_cast<size_t>(d.info.output_width) * 3);
    }
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

LoadResult Decode(std::FILE* file, const uint8_t* data, size_t size) {
  auto d = std::make_unique<Decoder>();
  if (!ReadHeader(*d, file, data, size)) {
    ShowMessage(fmsg::kJpegDecompressError);
    return {};
  }
  const J_COLOR_SPACE space = d->info.out_color_space;
  if (space != JCS_EXT_BGR && space != JCS_GRAYSCALE) {
    ShowMessage(fmsg::kJpegNotRgb);
    return {};
  }
  // No scaling is asked for, so the output has the stored size; check it before the library
  // allocates anything in proportion to it.
  const int width = static_cast<int>(d->info.image_width);
  const int height = static_cast<int>(d->info.image_height);
  if (!PictureWithinLimit(width, height)) return {};
  if (width <= 0 || height <= 0 || !PlaneSizeAllowed(Stride24(width), static_cast<size_t>(height))) {
    ShowMessage(fmsg::kJpegNoMemory);
    return {};
  }
  LoadResult result;
  result.document = CreateBlankAnimation(width, height);
  uint8_t* plane = result.document ? AddTrueColour(*FirstImage(result.document.get()), true) : nullptr;
  if (!plane) {
    ShowMessage(fmsg::kJpegNoMemory);
    return {};
  }
  if (!ReadRows(*d, plane, Stride24(width)) || d->info.output_width != static_cast<JDIMENSION>(width) ||
      d->info.output_height != static_cast<JDIMENSION>(height)) {
    ShowMessage(fmsg::kJpegDecompressError);
    return {};
  }
  if (d->trap.endedEarly) {
    ShowText("The JPEG file ends before its picture does; the rows it holds are kept and the rest is grey.");
    result.status = kReadPartial;
  } else {
    result.status = kReadComplete;
  }
  return result;
}

}  // namespace

LoadResult ReadJpegFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return {};
  return Decode(file.get(), nullptr, 0);
}

LoadResult ReadJpegMemory(const uint8_t* data, size_t size) {
  if (size == 0) {
    ShowMessage(fmsg::kJpegDecompressError);
    return {};
  }
  return Decode(nullptr, data, size);
}

}  // namespace fw
