#pragma once
// The preference store of the program: QSettings under Tessaly/Framewright, group "2.0".
// FRAMEWRIGHT_CONFIG_DIR, when set, holds the settings file instead (tests use it).
#include <memory>
#include <mutex>

#include "core/preference_store.h"

class QSettings;

namespace fw {

class SettingsStore : public PreferenceStore {
 public:
  SettingsStore();
  ~SettingsStore() override;

  bool exists() const override;
  std::optional<std::vector<uint8_t>> binary(const std::string& name) const override;
  std::optional<uint32_t> number(const std::string& name) const override;
  std::optional<std::string> text(const std::string& name) const override;
  bool setBinary(const std::string& name, const std::vector<uint8_t>& value) override;
  bool setNumber(const std::string& name, uint32_t value) override;
  bool setText(const std::string& name, const std::string& value) override;
  bool remove(const std::string& name) override;

 private:
  // One QSettings object may not be used from two threads at once, and the size worker reads
  // the signature text while the window writes other values.
  mutable std::mutex lock_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace fw
