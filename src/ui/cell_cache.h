#pragma once
// The strip's rendered cells, kept between paints so that scrolling draws only what became
// visible. A byte budget bounds it: a long animation at full size would otherwise hold a
// true-colour copy of every frame. Cells used by the paint in progress are never evicted.
#include <QHash>
#include <QImage>
#include <list>

namespace fw {

class CellCache {
 public:
  using Key = const void*;
  explicit CellCache(qsizetype budgetBytes = qsizetype{64} << 20) : budget_(budgetBytes) {}

  // Starts a paint: cells found or stored from now on stay until the next paint starts.
  void beginPaint() { ++generation_; }
  // The cell, or nullptr; a hit makes it the most recently used.
  const QImage* find(Key key);
  const QImage& insert(Key key, QImage image);
  void remove(Key key);
  void clear();

  void setBudget(qsizetype bytes);
  qsizetype bytes() const { return bytes_; }
  int size() const { return static_cast<int>(order_.size()); }

 private:
  struct Entry {
    Key key;
    QImage image;
    quint64 generation;
  };
  void evict();

  std::list<Entry> order_;  // most recent first
  QHash<Key, std::list<Entry>::iterator> index_;
  qsizetype budget_;
  qsizetype bytes_ = 0;
  quint64 generation_ = 0;
};

}  // namespace fw
