#include "gif/lzw_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

namespace fw {
namespace {

// The bit reader's word loads and the string heads below take bytes in little-endian order.
static_assert(std::endian::native == std::endian::little, "the LZW decoder assumes a little-endian machine");

constexpr int kMaxCodes = 4096;

// Strings up to this long are written with one fixed-size copy that may run past their end
// into pixels of the same row that are still to come; those are overwritten by the strings
// that follow, or cleared when the data stops early.
constexpr int kShortCopy = 16;
// Strings up to this long go through the loop's own piecewise copy rather than a call.
constexpr int kMidCopy = 64;

// Where literal codes copy their single byte from, with slack for the fixed-size copy.
struct IdentityBytes {
  uint8_t bytes[256 + kShortCopy] = {};
  constexpr IdentityBytes() {
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  }
};
constexpr IdentityBytes kIdentity;

// Loads both halves before storing, so a source that runs into the destination is fine.
inline void CopyShort(uint8_t* d, const uint8_t* s) {
  uint64_t a, b;
  std::memcpy(&a, s, 8);
  std::memcpy(&b, s + 8, 8);
  std::memcpy(d, &a, 8);
  std::memcpy(d + 8, &b, 8);
}

// Where the next decoded pixels go. A frame whose rows follow each other without padding and
// without interlacing is one long row, so strings never need splitting; otherwise rows advance
// in stream order (top to bottom, or the four interlace passes).
struct Rows {
  uint8_t* base;
  size_t stride;
  int width, height;
  bool interlaced;
  int row = 0, pass = 0;

  // The first row's span (the whole frame when linear).
  void first(uint8_t*& dst, uint8_t*& end, bool linear) {
    dst = base;
    if (linear) {
      end = base + static_cast<size_t>(width) * static_cast<size_t>(height);
      row = height - 1;  // the one span is also the last
    } else {
      end = base + width;
    }
  }
  // The next row's span; false when the frame is full.
  bool next(uint8_t*& dst, uint8_t*& end) {
    if (!interlaced) {
      if (++row >= height) return false;
    } else {
      static constexpr int kStart[4] = {0, 4, 2, 1};
      static constexpr int kStep[4] = {8, 8, 4, 2};
      row += kStep[pass];
      while (row >= height) {
        if (++pass >= 4) return false;
        row = kStart[pass];
      }
    }
    dst = base + static_cast<size_t>(row) * stride;
    end = dst + width;
    return true;
  }
};

// The code table, one per decoding thread, made on first use. One block, so the decoding loop
// reaches every part through one register.
struct Tables {
  // The first eight bytes of the code's string, little-endian, zero beyond its length. Short
  // strings are written straight from here: copying them out of the frame would mostly read
  // bytes stored a moment ago, and such loads stall when they straddle earlier stores.
  uint64_t head[kMaxCodes];
  // A place in the frame (or in kIdentity for literals) holding the code's string in one
  // piece, or null when it has none and must be spelled out through the prefix chain.
  const uint8_t* where[kMaxCodes];
  uint16_t length[kMaxCodes];
  uint16_t prefix[kMaxCodes];
  uint8_t suffix[kMaxCodes];
  uint8_t scratch[kMaxCodes];
};

Tables& ThreadTables() {
  thread_local std::unique_ptr<Tables> tables(new Tables);
  return *tables;
}

// The head of the string `previousHead` (of `previousLength` bytes) extended by `next`.
inline uint64_t ExtendedHead(uint64_t previousHead, int previousLength, uint64_t next) {
  // Without a branch: string lengths around eight are common, and the two sides alternate.
  const uint64_t fits = uint64_t{0} - static_cast<uint64_t>(previousLength < 8);
  return previousHead | ((next << ((8 * previousLength) & 63)) & fits);
}

// Writes the `length` bytes of a string at d: copied from `src` when there is one, else by
// walking the prefix chain from `code`. A KwKwK string is `code`'s string plus `extra`.
inline void Spell(const Tables& t, int clear, uint8_t* d, int code, int length, bool kwkwk, uint8_t extra,
                  const uint8_t* src) {
  if (src) {
    std::memcpy(d, src, static_cast<size_t>(kwkwk ? length - 1 : length));
    if (kwkwk) d[length - 1] = extra;
    return;
  }
  uint8_t* p = d + length - 1;
  int c = code;
  if (kwkwk) *p-- = extra;
  while (c >= clear) {
    *p-- = t.suffix[c];
    c = t.prefix[c];
  }
  *p = static_cast<uint8_t>(c);
}

// The part of a row still to fill.
struct Span {
  uint8_t* dst;
  uint8_t* end;
};

enum Emitted { kFrameFull, kInOneRow, kAcrossRows };

// Writes a string that is not a plain short copy: long ones, ones near a row end, ones
// without a copy source, and KwKwK ones. Kept out of line so the decoding loop keeps its
// registers.
[[gnu::noinline]] Emitted EmitLong(Tables& t, int clear, Rows& rows, Span& span, int code, int length,
                                   bool kwkwk, uint8_t extra, const uint8_t* src) {
  const size_t room = static_cast<size_t>(span.end - span.dst);
  if (static_cast<size_t>(length) <= room) {
    if (src && length <= kShortCopy && room >= kShortCopy) {
      CopyShort(span.dst, src);
      if (kwkwk) span.dst[length - 1] = extra;
    } else {
      Spell(t, clear, span.dst, code, length, kwkwk, extra, src);
    }
    span.dst += length;
    return kInOneRow;
  }
  // The string crosses a row end: spell it out, then copy it row by row.
  Spell(t, clear, t.scratch, code, length, kwkwk, extra, src);
  const uint8_t* s = t.scratch;
  size_t left = static_cast<size_t>(length);
  for (;;) {
    const size_t n = std::min(left, static_cast<size_t>(span.end - span.dst));
    std::memcpy(span.dst, s, n);
    span.dst += n;
    s += n;
    left -= n;
    if (left == 0) return kAcrossRows;
    if (!rows.next(span.dst, span.end)) return kFrameFull;
  }
}

template <bool kLinear>
LzwResult DecodeCodes(Tables& t, const uint8_t* data, size_t size, bool terminated, int minCodeSize,
                      IndexedImage& image, int width, int height, bool interlaced) {
  Rows rows{image.pixels.data(), image.stride(), width, height, interlaced};
  uint8_t* dst;
  uint8_t* rowEnd;
  rows.first(dst, rowEnd, kLinear);
  // Strings kept as copy sources must leave room for a full short copy inside the plane.
  uint8_t* const base = image.pixels.data();
  const size_t planeSize = image.pixels.size();
  auto canSource = [base, planeSize](const uint8_t* at) {
    return static_cast<size_t>(at - base) + kShortCopy <= planeSize;
  };

  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  for (int i = 0; i < clear; ++i) {
    t.prefix[i] = 0;
    t.suffix[i] = static_cast<uint8_t>(i);
    t.length[i] = 1;
    t.where[i] = kIdentity.bytes + i;
    t.head[i] = static_cast<uint64_t>(i);
  }
  t.length[clear] = 0;
  t.length[end] = 0;

  int codeSize = minCodeSize + 1;
  uint32_t mask = (1u << codeSize) - 1;
  int nextFree = clear + 2;
  int previous = 0;  // the previous code; needed only to spell strings out through the chain
  // Where the previous code's string was written, when the next string follows it directly in
  // the same row: then the new table entry (previous + next's first byte) sits there whole.
  const uint8_t* previousAt = nullptr;
  // The previous code's length and head, kept at hand for the entry that extends it. No
  // length: the next code starts a fresh table.
  int previousLength = 0;
  uint64_t previousHead = 0;

  // Bit reader: a 64-bit window over the data, least significant bit first.
  const uint8_t* p = data;
  const uint8_t* const dataEnd = data + size;
  uint64_t bits = 0;
  int bitCount = 0;

  // A frame that stops early is blank from there on. A linear frame's one span is the rest of
  // it; other planes start zero-filled, so only the pixels a short copy may have dirtied beyond
  // the last string go back to 0.
  auto stop = [&dst, &rowEnd](LzwResult r) {
    const size_t room = static_cast<size_t>(rowEnd - dst);
    std::memset(dst, 0, kLinear ? room : std::min<size_t>(room, kShortCopy - 1));
    return r;
  };
  auto emitLong = [&](int code, int n, bool kwkwk, uint8_t extra, const uint8_t* src) {
    Span span{dst, rowEnd};
    const Emitted e = EmitLong(t, clear, rows, span, code, n, kwkwk, extra, src);
    dst = span.dst;
    rowEnd = span.end;
    return e;
  };

  for (;;) {
    if (dataEnd - p >= 8) {
      // Branch-free refill to at least 56 bits; bits above the count are always data bits.
      uint64_t word;
      std::memcpy(&word, p, 8);
      bits |= word << bitCount;
      p += (63 - bitCount) >> 3;
      bitCount |= 56;
    } else if (bitCount < codeSize) {
      // Near the end: whole bytes only, never past the data (the padding makes the load safe).
      if (p < dataEnd) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        const int take = (63 - bitCount) >> 3;
        const size_t avail = static_cast<size_t>(dataEnd - p);
        const int bytes = avail < static_cast<size_t>(take) ? static_cast<int>(avail) : take;
        if (bytes < 8) word &= (uint64_t{1} << (bytes * 8)) - 1;
        bits |= word << bitCount;
        bitCount += bytes * 8;
        p += bytes;
      }
      if (bitCount < codeSize) return stop(LzwResult::kRanOut);
    }
    const int code = static_cast<int>(bits & mask);
    bits >>= codeSize;
    bitCount -= codeSize;

    const uint8_t* const at = dst;
    Emitted emitted = kInOneRow;
    int n;
    uint64_t h;
    // Clear and end codes have no length, nor has anything before a fresh table's first code.
    n = t.length[code];
    if (code < nextFree && n != 0 && previousLength != 0) {
      // The common case: a known code after another one.
      h = t.head[code];
      if (n <= 8 && rowEnd - dst >= 8) {
        std::memcpy(dst, &h, 8);
        dst += n;
      } else if (n <= kShortCopy && rowEnd - dst >= kShortCopy && (kLinear || t.where[code])) {
        CopyShort(dst, t.where[code]);
        dst += n;
      } else if (kLinear && n <= kMidCopy && rowEnd - dst >= n + kShortCopy) {
        // In one run of memory a code's source lies wholly behind the string being written,
        // so copying it in short pieces front to back reads nothing this copy stored.
        const uint8_t* const src = t.where[code];
        for (int i = 0; i < n; i += kShortCopy) CopyShort(dst + i, src + i);
        dst += n;
      } else if ((emitted = emitLong(code, n, false, 0, t.where[code])) == kFrameFull) {
        return LzwResult::kComplete;
      }
    } else if (code == clear) {
      codeSize = minCodeSize + 1;
      mask = (1u << codeSize) - 1;
      nextFree = clear + 2;
      previousLength = 0;
      continue;
    } else if (code == end) {
      return stop(terminated ? LzwResult::kEndedEarly : LzwResult::kRanOut);
    } else if (previousLength == 0) {
      // First code of a fresh table: only a literal is meaningful here.
      if (code > end) return stop(LzwResult::kCorrupt);
      *dst++ = static_cast<uint8_t>(code);
      previous = code;
      previousLength = 1;
      previousHead = static_cast<uint64_t>(code);
      if (dst == rowEnd) {
        previousAt = nullptr;
        if (!rows.next(dst, rowEnd)) return LzwResult::kComplete;
      } else {
        previousAt = kLinear || canSource(at) ? at : nullptr;
      }
      continue;
    } else if (code == nextFree && nextFree < kMaxCodes) {
      // KwKwK: the string is previous + previous's first byte, which lies right behind us.
      n = previousLength + 1;
      h = ExtendedHead(previousHead, previousLength, previousHead & 0xFF);
      if (n <= 8 && rowEnd - dst >= 8) {
        std::memcpy(dst, &h, 8);
        dst += n;
      } else if ((emitted = emitLong(kLinear ? 0 : previous, n, true, static_cast<uint8_t>(h), previousAt)) ==
                 kFrameFull) {
        return LzwResult::kComplete;
      }
    } else {
      return stop(LzwResult::kCorrupt);
    }

    if (nextFree < kMaxCodes) {
      // A linear frame always has a copy source, so it never walks the prefix chain.
      if (!kLinear) {
        t.prefix[nextFree] = static_cast<uint16_t>(previous);
        t.suffix[nextFree] = static_cast<uint8_t>(h);
      }
      t.length[nextFree] = static_cast<uint16_t>(previousLength + 1);
      t.where[nextFree] = previousAt;
      t.head[nextFree] = ExtendedHead(previousHead, previousLength, h & 0xFF);
      ++nextFree;
      // The code width grows when the next entry would not fit it (mask + 1 entries).
      if (static_cast<uint32_t>(nextFree) > mask && codeSize < 12) {
        ++codeSize;
        mask = (1u << codeSize) - 1;
      }
    }
    if (!kLinear) previous = code;
    previousLength = n;
    previousHead = h;
    if (dst == rowEnd) {
      previousAt = nullptr;
      if (!rows.next(dst, rowEnd)) return LzwResult::kComplete;
    } else {
      // A linear frame has one row, so whatever did not fill it stayed in one piece.
      previousAt = kLinear || (emitted == kInOneRow && canSource(at)) ? at : nullptr;
    }
  }
}

// Moves `height` rows of `width` pixels stored one after another to the plane's rows, last
// row first so that no row is overwritten before it moves, and clears the padding between them.
void SpreadRows(IndexedImage& image, int width, int height) {
  uint8_t* const base = image.pixels.data();
  const size_t w = static_cast<size_t>(width), stride = image.stride();
  for (size_t y = static_cast<size_t>(height); y-- > 0;) {
    std::memmove(base + y * stride, base + y * w, w);
    std::memset(base + y * stride + w, 0, stride - w);
  }
}

}  // namespace

LzwResult LzwDecoder::decode(const uint8_t* data, size_t size, bool terminated, int minCodeSize,
                             IndexedImage& image, int width, int height, bool interlaced) {
  if (width <= 0 || height <= 0 || interlaced) std::fill(image.pixels.begin(), image.pixels.end(), 0);
  if (width <= 0 || height <= 0) return LzwResult::kComplete;
  Tables& t = ThreadTables();
  if (interlaced) return DecodeCodes<false>(t, data, size, terminated, minCodeSize, image, width, height, true);
  // Rows in order are decoded as one run of memory, where strings never straddle rows, and
  // then spread out to the plane's padded rows.
  const LzwResult r = DecodeCodes<true>(t, data, size, terminated, minCodeSize, image, width, height, false);
  if (image.stride() != static_cast<size_t>(width)) SpreadRows(image, width, height);
  return r;
}

LzwDecoder& ThreadLzwDecoder() {
  thread_local std::unique_ptr<LzwDecoder> decoder(new LzwDecoder);
  return *decoder;
}

}  // namespace fw
