#include "core/named_settings.h"

#include <cctype>

#include "core/preferences.h"

namespace fw {
namespace {

constexpr uint32_t kEditorHandlesLayers = 1u << 3;  // word 15

std::string StoredText(const char* name) {
  PreferenceStore* store = Prefs().store();
  if (!store) return {};
  return store->text(name).value_or(std::string());
}

}  // namespace

std::string StoredEditorPath() { return StoredText("CoEdit"); }

bool StoreEditorPath(const std::string& path) {
  Prefs().setBits(pref::kMoreFlags, kEditorHandlesLayers, EditorHandlesLayers(path));
  PreferenceStore* store = Prefs().store();
  return store && store->setText("CoEdit", path);
}

bool EditorHandlesLayers(const std::string& path) {
  static const char kName[] = "photoshp.exe";
  constexpr size_t kLength = sizeof(kName) - 1;
  if (path.size() < kLength) return false;
  const std::string tail = path.substr(path.size() - kLength);
  for (size_t i = 0; i < kLength; ++i)
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kName[i]) return false;
  return true;
}

std::string StoredInitialDirectory() { return StoredText("InitDir"); }

bool StoreInitialDirectory(const std::string& folder) {
  PreferenceStore* store = Prefs().store();
  return store && store->setText("InitDir", folder);
}

}  // namespace fw
