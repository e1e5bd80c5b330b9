#pragma once
// Where the program keeps its settings. The interactive program stores them with QSettings;
// core code and its tests only see this interface.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fw {

class PreferenceStore {
 public:
  virtual ~PreferenceStore() = default;
  // False when the store cannot be opened at all (nothing has been stored yet counts as open).
  virtual bool exists() const = 0;
  virtual std::optional<std::vector<uint8_t>> binary(const std::string& name) const = 0;
  virtual std::optional<uint32_t> number(const std::string& name) const = 0;
  virtual std::optional<std::string> text(const std::string& name) const = 0;
  virtual bool setBinary(const std::string& name, const std::vector<uint8_t>& value) = 0;
  virtual bool setNumber(const std::string& name, uint32_t value) = 0;
  virtual bool setText(const std::string& name, const std::string& value) = 0;
  virtual bool remove(const std::string& name) = 0;
};

// A store held in memory: used by tests and by batch runs that must not touch the user's settings.
class MemoryPreferenceStore : public PreferenceStore {
 public:
  bool present = true;
  std::map<std::string, std::vector<uint8_t>> binaries;
  std::map<std::string, uint32_t> numbers;
  std::map<std::string, std::string> texts;

  bool exists() const override { return present; }
  std::optional<std::vector<uint8_t>> binary(const std::string& name) const override;
  std::optional<uint32_t> number(const std::string& name) const override;
  std::optional<std::string> text(const std::string& name) const override;
  bool setBinary(const std::string& name, const std::vector<uint8_t>& value) override;
  bool setNumber(const std::string& name, uint32_t value) override;
  bool setText(const std::string& name, const std::string& value) override;
  bool remove(const std::string& name) override;
};

}  // namespace fw
