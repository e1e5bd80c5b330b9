#include "core/atoms.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace fw {
namespace {

struct Entry {
  std::string text;
  int refs = 0;
};

// Frames may be named from worker threads (copies for trial runs), so the table locks.
struct AtomTable {
  std::mutex lock;
  std::vector<Entry> entries{1};  // slot 0 is "no name"
  std::vector<Atom> freeSlots;
  std::unordered_map<std::string, Atom> byText;
};

AtomTable& Table() {
  static AtomTable table;
  return table;
}

std::string_view CutName(std::string_view text) {
  if (text.size() <= kMaxNameLength) return text;
  size_t n = kMaxNameLength;
  // Do not split a UTF-8 sequence.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

}  // namespace

Atom AtomAdd(std::string_view text) {
  AtomTable& t = Table();
  std::string key(CutName(text));
  std::lock_guard<std::mutex> guard(t.lock);
  auto found = t.byText.find(key);
  if (found != t.byText.end()) {
    ++t.entries[found->second].refs;
    return found->second;
  }
  Atom atom;
  if (!t.freeSlots.empty()) {
    atom = t.freeSlots.back();
    t.freeSlots.pop_back();
  } else {
    if (t.entries.size() > 0xFFFF) return 0;
    atom = static_cast<Atom>(t.entries.size());
    t.entries.emplace_back();
  }
  t.entries[atom] = {key, 1};
  t.byText.emplace(std::move(key), atom);
  return atom;
}

void AtomAddRef(Atom atom) {
  if (atom == 0) return;
  AtomTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (atom < t.entries.size() && t.entries[atom].refs > 0) ++t.entries[atom].refs;
}

void AtomRelease(Atom atom) {
  if (atom == 0) return;
  AtomTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (atom >= t.entries.size() || t.entries[atom].refs <= 0) return;
  if (--t.entries[atom].refs == 0) {
    t.byText.erase(t.entries[atom].text);
    t.entries[atom].text.clear();
    t.freeSlots.push_back(atom);
  }
}

std::string AtomText(Atom atom) {
  AtomTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (atom == 0 || atom >= t.entries.size() || t.entries[atom].refs <= 0) return {};
  return t.entries[atom].text;
}

int AtomRefCount(Atom atom) {
  AtomTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (atom == 0 || atom >= t.entries.size()) return 0;
  return t.entries[atom].refs;
}

}  // namespace fw
