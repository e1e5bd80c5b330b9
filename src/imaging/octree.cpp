#include "imaging/octree.h"

#include <algorithm>

namespace fw {
namespace {

inline int ChildIndex(Rgb c, int level) {
  const int shift = 7 - level;
  return ((c.r >> shift) & 1) << 2 | ((c.g >> shift) & 1) << 1 | ((c.b >> shift) & 1);
}

int LockedChildren(const OctreeNode& n) {
  int locked = 0;
  for (const auto& c : n.child)
    if (c && c->locked) ++locked;
  return locked;
}

uint8_t Mean(double sum, double count) { return count > 0 ? static_cast<uint8_t>(sum / count) : 0; }

}  // namespace

Octree::Octree(int maxColours) : maxColours_(std::max(1, maxColours)) { root_ = createNode(0); }

Octree::~Octree() = default;

std::unique_ptr<OctreeNode> Octree::createNode(int level) {
  auto node = std::make_unique<OctreeNode>();
  if (level == kDepth) {
    node->leaf = true;
    ++leafCount_;
  } else {
    // Each level's list runs from the newest node to the oldest.
    node->nextReducible = reducible_[size_t(level)];
    reducible_[size_t(level)] = node.get();
  }
  return node;
}

void Octree::addColour(Rgb c, double count, bool locked) {
  OctreeNode* node = root_.get();
  bool created = false;
  for (int level = 0; !node->leaf; ++level) {
    node->weight += count;
    auto& next = node->child[size_t(ChildIndex(c, level))];
    if (!next) {
      next = createNode(level + 1);
      created = true;
    }
    node = next.get();
  }
  node->pixelCount += count;
  node->red += count * c.r;
  node->green += count * c.g;
  node->blue += count * c.b;
  if (locked) {
    node->locked = true;
    node->lockedColour = c;
  }
  if (created)
    while (leafCount_ > maxColours_ && reduceOnce()) {
    }
}

void Octree::addPalette(const Palette& palette, const int32_t* counts) {
  addPalette(palette.data(), palette.count(), counts);
}

void Octree::addPalette(const Rgb* entries, int count, const int32_t* counts) {
  for (int i = 0; i < count && i < 256; ++i)
    if (counts[i] > 0) addColour(entries[i], counts[i]);
}

void Octree::addTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask,
                           size_t maskStride) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = rows + size_t(y) * stride;
    const uint8_t* m = mask ? mask + size_t(y) * maskStride : nullptr;
    for (int x = 0; x < width; ++x, p += 3)
      if (!m || m[x]) addColour({p[2], p[1], p[0]}, 1);
  }
}

// Merges one node of the deepest level that still has inner nodes into a leaf.
bool Octree::reduceOnce() {
  for (int level = kDepth - 1; level >= 0; --level) {
    OctreeNode*& head = reducible_[size_t(level)];
    if (!head) continue;
    // Ties go to the node nearer the head, the more recently created. A node that would join
    // two locked colours is passed over while any other choice remains; when none does we
    // merge anyway, since the colour target must be reached.
    OctreeNode* best = nullptr;
    OctreeNode* bestPrev = nullptr;
    for (int pass = 0; pass < 2 && !best; ++pass) {
      OctreeNode* prev = nullptr;
      for (OctreeNode* n = head; n; prev = n, n = n->nextReducible) {
        if (pass == 0 && LockedChildren(*n) >= 2) continue;
        if (!best || n->weight < best->weight) {
          best = n;
          bestPrev = prev;
        }
      }
    }
    (bestPrev ? bestPrev->nextReducible : head) = best->nextReducible;
    best->nextReducible = nullptr;

    int children = 0;
    double count = 0, r = 0, g = 0, b = 0;
    for (auto& c : best->child) {
      if (!c) continue;
      ++children;
      count += c->pixelCount;
      r += c->red;
      g += c->green;
      b += c->blue;
      if (c->locked) {
        best->locked = true;
        best->lockedColour = c->lockedColour;
      }
      c.reset();
    }
    best->pixelCount += count;
    best->red = r;
    best->green = g;
    best->blue = b;
    best->leaf = true;
    leafCount_ += 1 - children;
    return true;
  }
  return false;
}

void Octree::number(OctreeNode& node, Rgb* out, int& next) {
  if (node.leaf) {
    node.paletteIndex = next;
    out[next++] = node.locked ? node.lockedColour
                              : Rgb{Mean(node.red, node.pixelCount), Mean(node.green, node.pixelCount),
                                    Mean(node.blue, node.pixelCount)};
    return;
  }
  for (auto& c : node.child)
    if (c) number(*c, out, next);
}

int Octree::makeEntries(int colours, bool reserveTransparent, Rgb* out) {
  colours = std::clamp(colours, 1, 256);
  const int leaves = std::max(1, colours - (reserveTransparent ? 1 : 0));
  while (leafCount_ > leaves && reduceOnce()) {
  }
  int next = 0;
  if (leafCount_ > 0) number(*root_, out, next);
  if (reserveTransparent && next < 256) out[next++] = Rgb{0, 0, 0};
  return next;
}

std::unique_ptr<Palette> Octree::makePalette(int colours, bool reserveTransparent) {
  Rgb entries[256];
  const int n = makeEntries(colours, reserveTransparent, entries);
  return n > 0 ? Palette::Create(entries, n) : nullptr;
}

int Octree::lookup(Rgb c) const {
  const OctreeNode* node = root_.get();
  for (int level = 0; !node->leaf; ++level) {
    node = node->child[size_t(ChildIndex(c, level))].get();
    if (!node) return 0;
  }
  return node->paletteIndex;
}

RemapTable Octree::mapPalette(const Palette& source) const {
  RemapTable table = EmptyRemapTable();
  for (int i = 0; i < source.count(); ++i) table[size_t(i)] = static_cast<int16_t>(lookup(source[i]));
  return table;
}

void Octree::mapTrueColour(int width, int height, const uint8_t* rows, size_t stride, const uint8_t* mask,
                           size_t maskStride, uint8_t maskedIndex, uint8_t* out, size_t outStride) const {
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = rows + size_t(y) * stride;
    const uint8_t* m = mask ? mask + size_t(y) * maskStride : nullptr;
    uint8_t* o = out + size_t(y) * outStride;
    for (int x = 0; x < width; ++x, p += 3)
      o[x] = (m && !m[x]) ? maskedIndex : static_cast<uint8_t>(lookup({p[2], p[1], p[0]}));
  }
}

}  // namespace fw
