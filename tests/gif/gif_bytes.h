#pragma once
// Byte-level helpers for the GIF tests: packing hand-chosen LZW codes, wrapping data in
// sub-blocks, and walking a written stream field by field without going through our reader,
// so the tests can check what actually lands in the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace fw::test {

using Bytes = std::vector<uint8_t>;

// Appends any number of byte values or byte vectors.
inline void Put(Bytes& out, std::initializer_list<int> values) {
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
}
inline void Put(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
inline void PutLe16(Bytes& out, int v) { Put(out, {v & 0xFF, (v >> 8) & 0xFF}); }

// A code and the width it is written with. Tests spell widths out so that the stream does
// not depend on the decoder's own idea of when the width grows.
struct Code {
  int value;
  int width;
};

// Codes packed least significant bit first, the last byte padded with zero bits.
inline Bytes PackCodes(const std::vector<Code>& codes) {
  Bytes out;
  uint32_t acc = 0;
  int bits = 0;
  for (const Code& c : codes) {
    acc |= static_cast<uint32_t>(c.value) << bits;
    bits += c.width;
    while (bits >= 8) {
      out.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
  return out;
}

// Data split into sub-blocks of at most `maxLength` bytes, each behind its length byte,
// followed by the zero-length terminator unless `terminate` is false.
inline Bytes SubBlocks(const Bytes& data, size_t maxLength = 255, bool terminate = true) {
  Bytes out;
  for (size_t at = 0; at < data.size(); at += maxLength) {
    const size_t n = std::min(maxLength, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  if (terminate) out.push_back(0);
  return out;
}

// "GIF89a", a logical screen descriptor and a global ramp table of 2^tableBits entries
// (no table when tableBits is 0).
inline Bytes GifHeader(int width, int height, int tableBits, int background = 0) {
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  PutLe16(out, width);   // logical screen width
  PutLe16(out, height);  // logical screen height
  // packed: global table flag, colour resolution = table bits - 1, size code
  Put(out, {tableBits ? 0x80 | (tableBits - 1) << 4 | (tableBits - 1) : 0});
  Put(out, {background, 0});  // background index, aspect byte
  for (int i = 0; tableBits && i < (1 << tableBits); ++i) Put(out, {i, 255 - i, i * 3 & 255});
  return out;
}

// A graphic control extension: packed byte (disposal << 2 | transparency flag), delay,
// transparent index.
inline Bytes GraphicControl(int packed, int delay, int transparentIndex) {
  Bytes out = {0x21, 0xF9, 0x04, static_cast<uint8_t>(packed)};
  PutLe16(out, delay);
  Put(out, {transparentIndex, 0x00});
  return out;
}

// An image descriptor (no local table) followed by the minimum code size and the given
// LZW bytes as terminated sub-blocks.
inline Bytes Image(int left, int top, int width, int height, int flags, int minCodeSize, const Bytes& lzw) {
  Bytes out = {0x2C};
  PutLe16(out, left);
  PutLe16(out, top);
  PutLe16(out, width);
  PutLe16(out, height);
  Put(out, {flags, minCodeSize});
  Put(out, SubBlocks(lzw));
  return out;
}

// Every pixel as a literal, with a clear code in front and the end code behind: the simplest
// valid image data (the table grows, so the width is tracked as a decoder would).
inline Bytes LiteralCodes(const std::vector<int>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  int width = minCodeSize + 1;
  int nextFree = clear + 2;
  std::vector<Code> codes = {{clear, width}};
  for (size_t i = 0; i < pixels.size(); ++i) {
    codes.push_back({pixels[i], width});
    // The decoder adds an entry for every code after the first one.
    if (i > 0 && nextFree < 4096) {
      ++nextFree;
      if (nextFree == (1 << width) && width < 12) ++width;
    }
    // Literals only: restart before the table fills so the widths stay simple.
    if (nextFree >= 4000) {
      codes.push_back({clear, width});
      width = minCodeSize + 1;
      nextFree = clear + 2;
      if (i + 1 < pixels.size()) {
        codes.push_back({pixels[++i], width});
      }
    }
  }
  codes.push_back({clear + 1, width});
  return PackCodes(codes);
}

// --- walking a written stream ---

struct WalkedImage {
  size_t at = 0;  // offset of the ',' that starts the descriptor
  int left = 0, top = 0, width = 0, height = 0;
  uint8_t flags = 0;
  size_t localTableBytes = 0;
  int minCodeSize = -1;
  std::vector<int> subBlockLengths;
  Bytes lzw;  // the data sub-blocks joined
};

struct WalkedExtension {
  uint8_t label = 0;
  std::vector<Bytes> subBlocks;
};

struct WalkedGif {
  bool ok = false;
  std::string error;
  int screenWidth = 0, screenHeight = 0;
  uint8_t screenFlags = 0, background = 0;
  size_t globalTableBytes = 0;
  std::vector<WalkedExtension> extensions;  // graphic control extensions included
  std::vector<WalkedImage> images;
  bool trailer = false;
};

// Walks the block structure of a GIF; stops at the trailer or the first inconsistency.
inline WalkedGif WalkGif(const Bytes& b) {
  WalkedGif g;
  size_t at = 0;
  auto need = [&](size_t n) { return at + n <= b.size(); };
  auto fail = [&](const char* what) {
    g.error = std::string(what) + " at " + std::to_string(at);
    return g;
  };
  auto readSubBlocks = [&](std::vector<Bytes>* blocks, std::vector<int>* lengths) {
    for (;;) {
      if (!need(1)) return false;
      const int n = b[at++];
      if (n == 0) return true;
      if (!need(static_cast<size_t>(n))) return false;
      if (lengths) lengths->push_back(n);
      if (blocks) blocks->emplace_back(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
      at += static_cast<size_t>(n);
    }
  };
  if (!need(13) || std::memcmp(b.data(), "GIF8", 4) != 0) return fail("signature");
  g.screenWidth = b[6] | b[7] << 8;
  g.screenHeight = b[8] | b[9] << 8;
  g.screenFlags = b[10];
  g.background = b[11];
  at = 13;
  if (g.screenFlags & 0x80) {
    g.globalTableBytes = 3u * (2u << (g.screenFlags & 7));
    if (!need(g.globalTableBytes)) return fail("global table");
    at += g.globalTableBytes;
  }
  while (need(1)) {
    const uint8_t introducer = b[at++];
    if (introducer == 0x3B) {
      g.trailer = true;
      g.ok = true;
      return g;
    }
    if (introducer == 0x21) {
      if (!need(1)) return fail("extension label");
      WalkedExtension e;
      e.label = b[at++];
      if (!readSubBlocks(&e.subBlocks, nullptr)) return fail("extension data");
      g.extensions.push_back(std::move(e));
      continue;
    }
    if (introducer != 0x2C) return fail("block introducer");
    if (!need(10)) return fail("image descriptor");
    WalkedImage im;
    im.at = at - 1;
    im.left = b[at] | b[at + 1] << 8;
    im.top = b[at + 2] | b[at + 3] << 8;
    im.width = b[at + 4] | b[at + 5] << 8;
    im.height = b[at + 6] | b[at + 7] << 8;
    im.flags = b[at + 8];
    at += 9;
    if (im.flags & 0x80) {
      im.localTableBytes = 3u * (2u << (im.flags & 7));
      if (!need(im.localTableBytes)) return fail("local table");
      at += im.localTableBytes;
    }
    if (!need(1)) return fail("code size");
    im.minCodeSize = b[at++];
    std::vector<Bytes> blocks;
    if (!readSubBlocks(&blocks, &im.subBlockLengths)) return fail("image data");
    for (const Bytes& blk : blocks) Put(im.lzw, blk);
    g.images.push_back(std::move(im));
  }
  return fail("missing trailer");
}

// What a decoder sees of an LZW stream without building strings: the codes with their
// widths. Used to check that the writer really reaches 12-bit codes and clears a full table.
struct CodeStats {
  bool endCodeSeen = false;
  bool overran = false;  // a code above the next free one: the stream is broken
  int maxWidth = 0;
  int clears = 0;
  int codes = 0;
  int fullTableClears = 0;  // clear codes that came when all 4096 entries were taken
};

inline CodeStats ScanCodes(const Bytes& lzw, int minCodeSize) {
  CodeStats s;
  const int clear = 1 << minCodeSize;
  int width = minCodeSize + 1;
  int nextFree = clear + 2;
  bool fresh = true;
  size_t bitPos = 0;
  const size_t totalBits = lzw.size() * 8;
  while (bitPos + static_cast<size_t>(width) <= totalBits) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bitPos)
      code |= ((lzw[bitPos >> 3] >> (bitPos & 7)) & 1) << i;
    ++s.codes;
    s.maxWidth = std::max(s.maxWidth, width);
    if (code == clear) {
      ++s.clears;
      if (nextFree >= 4096) ++s.fullTableClears;
      width = minCodeSize + 1;
      nextFree = clear + 2;
      fresh = true;
      continue;
    }
    if (code == clear + 1) {
      s.endCodeSeen = true;
      break;
    }
    if (fresh) {
      fresh = false;
      continue;
    }
    if (code > nextFree) {
      s.overran = true;
      break;
    }
    if (nextFree < 4096) {
      ++nextFree;
      if (nextFree == (1 << width) && width < 12) ++width;
    }
  }
  return s;
}

}  // namespace fw::test
