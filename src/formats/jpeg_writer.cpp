#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/format_messages.h"
#include "formats/jpeg_error.h"
#include "formats/jpeg_file.h"

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
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  const int width = PlaneWidth(frame);
  bool ok;
  {
    auto encoder = std::make_unique<Encoder>();
    ok = Encode(*encoder, file, plane, Stride24(width), width, PlaneHeight(frame), JpegQuality());
  }
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) {
    ShowMessage(fmsg::kCannotWrite, path.c_str());
    return 0;
  }
  return 1;
}

}  // namespace fw
