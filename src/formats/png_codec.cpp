#include "formats/png_codec.h"


#include <png.h>

#include <cstring>
#include <new>

#include "core/picture_limit.h"
#include "core/indexed_image.h"
#include "core/write_failure.h"

namespace fw {
namespace {

// libpng reports errors by calling this, which must not return. The default handler would
// also print; we only jump back to the setjmp of the function that called into libpng.
[[noreturn]] void JumpBack(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

struct ReadContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* cur = nullptr;
  const uint8_t* end = nullptr;
  std::vector<png_bytep> rowPointers;
  bool rowsDone = false;
  ~ReadContext() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

void ReadData(png_structp png, png_bytep out, size_t n) {
  auto* c = static_cast<ReadContext*>(png_get_io_ptr(png));
  if (static_cast<size_t>(c->end - c->cur) < n) png_error(png, "Read Error");
  std::memcpy(out, c->cur, n);
  c->cur += n;
}

// libpng sizes a text chunk's buffer from the length the file declares and only warns when that
// length is absurd, so a few bytes could make it ask for 2 GB. Skipped chunks are read through
// a small fixed buffer; none of these changes the pixels we take.
void SkipChunksWeNeverRead(png_structp png) {
  static const png_byte kUnread[] =
      "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0bKGD\0cHRM\0gAMA\0hIST\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sRGB\0tIME";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnread, static_cast<int>(sizeof kUnread / 5));
}

// The functions that hold a setjmp own nothing with a destructor: a jump back from libpng
// skips no cleanup. Everything they touch lives in the context or the picture.
bool ReadHead(ReadContext& c, PngPicture& out) {
  if (setjmp(png_jmpbuf(c.png))) return false;
  png_set_read_fn(c.png, &c, ReadData);
  png_set_sig_bytes(c.png, 8);
  static const png_byte kPAni[] = "pAni";
  png_set_keep_unknown_chunks(c.png, PNG_HANDLE_CHUNK_ALWAYS, kPAni, 1);
  SkipChunksWeNeverRead(c.png);
  png_read_info(c.png, c.info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(c.png, c.info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
  // A colour key on true-colour or 16-bit grey pictures becomes an alpha channel, compared
  // before the samples lose their low bits; 8-bit and smaller grey keeps its key as an index.
  out.colourType = type;
  if (png_get_valid(c.png, c.info, PNG_INFO_tRNS)) {
    png_color_16p key = nullptr;
    if (type == PNG_COLOR_TYPE_RGB || (type == PNG_COLOR_TYPE_GRAY && depth == 16)) {
      png_set_tRNS_to_alpha(c.png);
      out.colourType = type == PNG_COLOR_TYPE_RGB ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_GRAY_ALPHA;
    } else if (type == PNG_COLOR_TYPE_GRAY && png_get_tRNS(c.png, c.info, nullptr, nullptr, &key) && key &&
               key->gray < (1u << depth)) {
      out.greyKey = key->gray;
    }
  }
  png_set_bgr(c.png);
  png_set_packing(c.png);
  png_set_strip_16(c.png);
  png_set_interlace_handling(c.png);
  png_read_update_info(c.png, c.info);
  out.width = width;
  out.height = height;
  out.bitDepth = depth;
  out.rowBytes = png_get_rowbytes(c.png, c.info);
  return true;
}

bool ReadBody(ReadContext& c, PngPicture& out, bool readEnd) {
  if (setjmp(png_jmpbuf(c.png))) return false;
  png_read_image(c.png, c.rowPointers.data());
  c.rowsDone = true;
  if (!readEnd) return true;
  png_read_end(c.png, c.info);
  png_unknown_chunkp unknowns = nullptr;
  const int count = png_get_unknown_chunks(c.png, c.info, &unknowns);
  for (int i = 0; i < count && !out.hasPAni; ++i) {
    if (std::memcmp(unknowns[i].name, "pAni", 5) != 0) continue;
    out.hasPAni = true;
    out.pAni.assign(unknowns[i].data, unknowns[i].data + unknowns[i].size);
  }
  return true;
}

void TakeColourTables(ReadContext& c, PngPicture& out) {
  png_colorp plte = nullptr;
  int entries = 0;
  if (png_get_PLTE(c.png, c.info, &plte, &entries) && plte)
    for (int i = 0; i < entries; ++i) out.palette.push_back({plte[i].red, plte[i].green, plte[i].blue});
  png_bytep alpha = nullptr;
  int transCount = 0;
  png_color_16p transColour = nullptr;
  if (png_get_tRNS(c.png, c.info, &alpha, &transCount, &transColour) && transCount > 0) {
    out.hasTrns = true;
    if (out.colourType == PNG_COLOR_TYPE_PALETTE && alpha) out.trnsAlpha.assign(alpha, alpha + transCount);
  }
}

struct WriteContext {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngOutput* out = nullptr;
  std::vector<png_color> plte;
  std::vector<uint8_t> rowBuffer;
  png_unknown_chunk unknown{};
  ~WriteContext() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

void WriteData(png_structp png, png_bytep data, size_t n) {
  auto* c = static_cast<WriteContext*>(png_get_io_ptr(png));
  PngOutput& o = *c->out;
  bool failed = false;
  if (o.file) {
    failed = std::fwrite(data, 1, n, o.file) != n;
    if (failed) {
      o.fileFailed = true;
      NoteWriteErrno();
    }
  } else if (o.begin) {
    if (static_cast<size_t>(o.end - o.begin) - o.written < n)
      failed = true;
    else
      std::memcpy(o.begin + o.written, data, n);
  } else if (o.grow) {
    try {
      o.grow->insert(o.grow->end(), data, data + n);
    } catch (const std::bad_alloc&) {
      failed = true;
    }
  }
  if (failed) png_error(png, "Write Error");
  o.written += n;
}

void FlushData(png_structp png) {
  auto* c = static_cast<WriteContext*>(png_get_io_ptr(png));
  if (c->out->file) std::fflush(c->out->file);
}

bool Encode(WriteContext& c, const PngPictureOut& p) {
  if (setjmp(png_jmpbuf(c.png))) return false;
  png_set_write_fn(c.png, &c, WriteData, FlushData);
  png_set_keep_unknown_chunks(c.png, PNG_HANDLE_CHUNK_IF_SAFE, nullptr, 0);
  png_set_IHDR(c.png, c.info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
               p.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (p.colourType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(c.png, c.info, c.plte.data(), static_cast<int>(c.plte.size()));
    if (!p.trnsAlpha.empty())
      png_set_tRNS(c.png, c.info, p.trnsAlpha.data(), static_cast<int>(p.trnsAlpha.size()), nullptr);
  }
  if (!p.pAni.empty()) {
    png_set_unknown_chunks(c.png, c.info, &c.unknown, 1);
    png_set_unknown_chunk_location(c.png, c.info, 0, PNG_AFTER_IDAT);
  }
  png_write_info(c.png, c.info);
  if (p.colourType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(c.png);
  for (int y = 0; y < p.height; ++y) {
    const uint8_t* row = p.pixels + static_cast<size_t>(y) * p.stride;
    if (p.colourType == PNG_COLOR_TYPE_RGB_ALPHA) {
      const uint8_t* a = p.alpha + static_cast<size_t>(y) * p.alphaStride;
      uint8_t* dst = c.rowBuffer.data();
      for (int x = 0; x < p.width; ++x) {
        dst[4 * x] = row[3 * x];
        dst[4 * x + 1] = row[3 * x + 1];
        dst[4 * x + 2] = row[3 * x + 2];
        dst[4 * x + 3] = a[x];
      }
      row = dst;
    }
    png_write_row(c.png, const_cast<png_bytep>(row));
  }
  png_write_end(c.png, c.info);
  return true;
}

}  // namespace

PngDecodeStatus DecodePngStream(const uint8_t* data, size_t size, bool readEnd, PngPicture& out, ReadBudgetScope* budget) {
  if (size < 8) return PngDecodeStatus::kFailed;
  try {
    ReadContext c;
    c.cur = data + 8;
    c.end = data + size;
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpBack, IgnoreWarning);
    if (!c.png) return PngDecodeStatus::kFailed;
    c.info = png_create_info_struct(c.png);
    if (!c.info || !ReadHead(c, out)) return PngDecodeStatus::kFailed;
    TakeColourTables(c, out);
    if (!PictureWithinLimit(out.width, out.height)) return PngDecodeStatus::kOverLimit;
    if (out.width == 0 || out.height == 0 || out.rowBytes == 0 || !PlaneSizeAllowed(out.rowBytes, out.height))
      return PngDecodeStatus::kTooLarge;
    if (budget && !budget->admitFrame(int64_t{out.width} * out.height)) return PngDecodeStatus::kOverLimit;
    if (budget && !budget->admitUnbacked(uint64_t{out.rowBytes} * out.height, MostBytesFromDeflate(size)))
      return PngDecodeStatus::kUnbacked;
    out.rows.assign(out.rowBytes * out.height, 0);
    c.rowPointers.resize(out.height);
    for (uint32_t y = 0; y < out.height; ++y) c.rowPointers[y] = out.rows.data() + size_t{y} * out.rowBytes;
    if (!ReadBody(c, out, readEnd)) return c.rowsDone ? PngDecodeStatus::kRowsRead : PngDecodeStatus::kFailed;
    return PngDecodeStatus::kComplete;
  } catch (const std::bad_alloc&) {
    return PngDecodeStatus::kTooLarge;
  }
}

bool EncodePngStream(const PngPictureOut& picture, PngOutput& output) {
  try {
    WriteContext c;
    c.out = &output;
    for (const Rgb& e : picture.palette) c.plte.push_back(png_color{e.r, e.g, e.b});
    if (picture.colourType == PNG_COLOR_TYPE_RGB_ALPHA) c.rowBuffer.resize(static_cast<size_t>(picture.width) * 4);
    if (!picture.pAni.empty()) {
      std::memcpy(c.unknown.name, "pAni", 5);
      c.unknown.data = const_cast<png_bytep>(picture.pAni.data());
      c.unknown.size = picture.pAni.size();
      c.unknown.location = PNG_AFTER_IDAT;
    }
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpBack, IgnoreWarning);
    if (!c.png) return false;
    c.info = png_create_info_struct(c.png);
    if (!c.info) return false;
    return Encode(c, picture);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace fw
