#include "ui/cell_cache.h"

namespace fw {

const QImage* CellCache::find(Key key) {
  auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  order_.splice(order_.begin(), order_, *it);
  order_.front().generation = generation_;
  return &order_.front().image;
}

const QImage& CellCache::insert(Key key, QImage image) {
  remove(key);
  bytes_ += image.sizeInBytes();
  order_.push_front(Entry{key, std::move(image), generation_});
  index_.insert(key, order_.begin());
  evict();
  return order_.front().image;
}

void CellCache::remove(Key key) {
  auto it = index_.find(key);
  if (it == index_.end()) return;
  bytes_ -= (*it)->image.sizeInBytes();
  order_.erase(*it);
  index_.erase(it);
}

void CellCache::clear() {
  order_.clear();
  index_.clear();
  bytes_ = 0;
}

void CellCache::setBudget(qsizetype bytes) {
  budget_ = bytes;
  evict();
}

void CellCache::evict() {
  while (bytes_ > budget_ && !order_.empty() && order_.back().generation != generation_) {
    bytes_ -= order_.back().image.sizeInBytes();
    index_.remove(order_.back().key);
    order_.pop_back();
  }
}

}  // namespace fw
