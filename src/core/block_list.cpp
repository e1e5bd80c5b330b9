// Walking and splicing the block list.
#include <vector>

#include "core/anim_document.h"

namespace fw {

ImageBlock* NextImage(const GifBlock* block) {
  if (!block) return nullptr;
  for (GifBlock* b = block->next; b; b = b->next)
    if (b->isImage()) return static_cast<ImageBlock*>(b);
  return nullptr;
}

ImageBlock* PrevImage(const GifBlock* block) {
  if (!block) return nullptr;
  for (GifBlock* b = block->prev; b; b = b->prev)
    if (b->isImage()) return static_cast<ImageBlock*>(b);
  return nullptr;
}

ImageBlock* FirstImage(const AnimHeader* header) { return header ? NextImage(header->blockList) : nullptr; }

GifBlock* LastBlock(const AnimHeader* header) {
  if (!header) return nullptr;
  GifBlock* b = header->blockList;
  while (b->next) b = b->next;
  return b;
}

ImageBlock* ImageAt(const AnimHeader* header, int index) {
  if (!header || index < 0) return nullptr;
  ImageBlock* f = FirstImage(header);
  while (f && index-- > 0) f = NextImage(f);
  return f;
}

int IndexOfImage(const AnimHeader* header, const ImageBlock* frame) {
  int i = 0;
  for (ImageBlock* f = FirstImage(header); f; f = NextImage(f), ++i)
    if (f == frame) return i;
  return -1;
}

ImageBlock* FirstSelected(const AnimHeader* header) {
  ImageBlock* f = FirstImage(header);
  return (f && f->selected) ? f : NextSelected(f);
}

ImageBlock* NextSelected(const GifBlock* block) {
  for (ImageBlock* f = NextImage(block); f; f = NextImage(f))
    if (f->selected) return f;
  return nullptr;
}

void Link(GifBlock* a, GifBlock* b) {
  if (!a) return;
  a->next = b;
  if (b) b->prev = a;
}

void InsertAfter(GifBlock* a, GifBlock* b) {
  if (!a || !b) return;
  GifBlock* after = a->next;
  Link(a, b);
  b->next = after;
  if (after) after->prev = b;
}

BlockPtr DetachBlock(GifBlock* block) {
  if (!block) return nullptr;
  if (block->prev) block->prev->next = block->next;
  if (block->next) block->next->prev = block->prev;
  block->next = block->prev = nullptr;
  return BlockPtr(block);
}

void RemoveBlock(GifBlock* block) { DetachBlock(block); }

void AppendBlock(AnimHeader& header, BlockPtr block) { BlockAppender(header).append(std::move(block)); }

void BlockAppender::append(BlockPtr block) {
  if (!block) return;
  if (block->isImage()) ++header_.frameCount;
  GifBlock* raw = block.release();
  raw->next = nullptr;
  Link(tail_, raw);
  tail_ = raw;
}

int ReverseBlocks(AnimHeader& header) {
  if (header.frameCount < 2) return 0;
  std::vector<GifBlock*> blocks;
  for (GifBlock* b = header.blockList->next; b; b = b->next) blocks.push_back(b);
  GifBlock* tail = header.blockList;
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
    Link(tail, *it);
    tail = *it;
  }
  tail->next = nullptr;
  return 1;
}

void AppendChain(AnimHeader& header) {
  GifBlock* tail = LastBlock(&header);
  std::unique_ptr<AnimHeader> chain = std::move(header.nextInChain);
  while (chain) {
    GifBlock* first = chain->blockList->next;
    if (first) {
      Link(tail, first);
      chain->blockList->next = nullptr;
      // Only the blocks just linked are walked, so joining many animations stays linear.
      tail = first;
      while (tail->next) tail = tail->next;
    }
    header.frameCount += chain->frameCount;
    chain->frameCount = 0;
    chain = std::move(chain->nextInChain);
  }
}

}  // namespace fw
