#include "app/settings_store.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <cstdlib>

namespace fw {
namespace {
QString Key(const std::string& name) { return QStringLiteral("2.0/") + QString::fromStdString(name); }
}  // namespace

SettingsStore::SettingsStore() {
  if (const char* dir = std::getenv("FRAMEWRIGHT_CONFIG_DIR"); dir && *dir) {
    settings_ = std::make_unique<QSettings>(QString::fromLocal8Bit(dir) + QStringLiteral("/framewright.ini"),
                                            QSettings::IniFormat);
  } else {
    settings_ = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessaly"),
                                            QStringLiteral("Framewright"));
  }
}

SettingsStore::~SettingsStore() = default;

bool SettingsStore::exists() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return settings_->status() == QSettings::NoError && !settings_->childGroups().isEmpty();
}

std::optional<std::vector<uint8_t>> SettingsStore::binary(const std::string& name) const {
  const std::lock_guard<std::mutex> hold(lock_);
  const QVariant v = settings_->value(Key(name));
  if (!v.isValid()) return std::nullopt;
  const QByteArray bytes = v.toByteArray();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::optional<uint32_t> SettingsStore::number(const std::string& name) const {
  const std::lock_guard<std::mutex> hold(lock_);
  const QVariant v = settings_->value(Key(name));
  bool ok = false;
  const uint32_t n = v.toUInt(&ok);
  if (!v.isValid() || !ok) return std::nullopt;
  return n;
}

std::optional<std::string> SettingsStore::text(const std::string& name) const {
  const std::lock_guard<std::mutex> hold(lock_);
  const QVariant v = settings_->value(Key(name));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

bool SettingsStore::setBinary(const std::string& name, const std::vector<uint8_t>& value) {
  const std::lock_guard<std::mutex> hold(lock_);
  settings_->setValue(Key(name), QByteArray(reinterpret_cast<const char*>(value.data()), static_cast<int>(value.size())));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool SettingsStore::setNumber(const std::string& name, uint32_t value) {
  const std::lock_guard<std::mutex> hold(lock_);
  settings_->setValue(Key(name), value);
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool SettingsStore::setText(const std::string& name, const std::string& value) {
  const std::lock_guard<std::mutex> hold(lock_);
  settings_->setValue(Key(name), QString::fromStdString(value));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

bool SettingsStore::remove(const std::string& name) {
  const std::lock_guard<std::mutex> hold(lock_);
  settings_->remove(Key(name));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace fw
