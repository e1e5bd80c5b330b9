#include "core/preference_store.h"

namespace fw {

template <typename Map>
static auto Lookup(const Map& map, const std::string& name)
    -> std::optional<typename Map::mapped_type> {
  auto found = map.find(name);
  if (found == map.end()) return std::nullopt;
  return found->second;
}

std::optional<std::vector<uint8_t>> MemoryPreferenceStore::binary(const std::string& name) const {
  return Lookup(binaries, name);
}
std::optional<uint32_t> MemoryPreferenceStore::number(const std::string& name) const {
  return Lookup(numbers, name);
}
std::optional<std::string> MemoryPreferenceStore::text(const std::string& name) const {
  return Lookup(texts, name);
}
bool MemoryPreferenceStore::setBinary(const std::string& name, const std::vector<uint8_t>& value) {
  if (!present) return false;
  binaries[name] = value;
  return true;
}
bool MemoryPreferenceStore::setNumber(const std::string& name, uint32_t value) {
  if (!present) return false;
  numbers[name] = value;
  return true;
}
bool MemoryPreferenceStore::setText(const std::string& name, const std::string& value) {
  if (!present) return false;
  texts[name] = value;
  return true;
}
bool MemoryPreferenceStore::remove(const std::string& name) {
  binaries.erase(name);
  numbers.erase(name);
  texts.erase(name);
  return true;
}

}  // namespace fw
