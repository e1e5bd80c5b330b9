#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/write_failure.h"
#include "formats/format_messages.h"
#include "formats/jpeg_error.h"
#include "formats/jpeg_file.h"

#include <jerror.h>  // after jpeglib.h, which it needs

namespace fw {
namespace {

struct Encoder {
  jpeg_compress_struct info{};
  JpegErrorTrap trap;
  bool created = false;
  ~Encoder() {
    if (created) jpeg_destroy_compress(&info);
  }
};

// Nothing here has a destructor: an error jumps straight back to the setjmp.
bool Encode(Encoder& e, std::FILE* file, const uint8_t* plane, size_t stride, int width, int height, int quality) {
  e.info.err = InstallJpegErrorTrap(e.trap);
  if (setjmp(e.trap.jump)) return false;
  jpeg_create_compress(&e.info);
  e.created = true;
  jpeg_stdio_dest(&e.info, file);
  e.info.image_width = static_cast<JDIMENSION>(width);
  e.info.image_height = static_cast<JDIMENSION>(height);
  e.info.input_components = 3;
  e.info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&e.info);
  jpeg_set_quality(&e.info, quality, TRUE);
  jpeg_start_compress(&e.info, TRUE);
  while (e.info.next_scanline < e.info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(plane + static_cast<size_t>(e.info.next_scanline) * stride);
    jpeg_write_scanlines(&e.info, &row, 1);
  }
  jpeg_finish_compress(&e.info);
  return true;
}

}  // namespace

int JpegQuality() {
  const int level = static_cast<int>((Prefs().read(pref::kSaveAsMemory) >> 8) & 0xFF);
  return std::clamp((level ? level : 6) * 5 + 45, 1, 100);
}

int WriteJpegFile(const std::string& path, const ImageBlock& frame) {
  const uint8_t* plane = TrueColourRows(frame);
  if (!plane) {
    ShowText("no 24 bit data here");
    return 0;
  }
  const int width = PlaneWidth(frame), height = PlaneHeight(frame);
  if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
    ShowText("A JPEG file holds pictures of at most %d x %d pixels; this one is %d x %d.", JPEG_MAX_DIMENSION,
             JPEG_MAX_DIMENSION, width, height);
    return 0;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  bool ok;
  bool writeFailed = false;
  {
    auto encoder = std::make_unique<Encoder>();
    ok = Encode(*encoder, file, plane, Stride24(width), width, height, JpegQuality());
    writeFailed = !ok && encoder->trap.manager.msg_code == JERR_FILE_WRITE;
    if (!ok && !writeFailed) {
      char reason[JMSG_LENGTH_MAX] = {};
      encoder->trap.manager.format_message(reinterpret_cast<j_common_ptr>(&encoder->info), reason);
      ShowText("The JPEG encoder failed: %s", reason);
    }
  }
  // errno still holds the reason of the write libjpeg gave up on.
  if (writeFailed) NoteWriteErrno();
  if (std::fclose(file) != 0 && ok) {
    NoteWriteErrno();
    ok = false;
    writeFailed = true;
  }
  return ok ? 1 : 0;
}

}  // namespace fw
