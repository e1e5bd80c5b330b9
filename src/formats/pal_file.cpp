#include "formats/pal_file.h"

#include <algorithm>
#include <cctype>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/message_sink.h"
#include "formats/dib.h"
#include "formats/file_dispatch.h"
#include "formats/format_messages.h"
#include "gif/byte_sink.h"

namespace fw {
namespace {
// Header (24 bytes) and 256 entries: nothing past this is ever looked at.
constexpr size_t kMaxRead = 24 + 4 * 256;
}  // namespace

std::unique_ptr<Palette> ReadPalBytes(const uint8_t* data, size_t size, const std::string& path) {
  if (size == 0) {
    ShowMessage(fmsg::kCannotOpenFile, path.c_str());
    return nullptr;
  }
  if (size < 24 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "PAL ", 4) != 0 ||
      std::memcmp(data + 12, "data", 4) != 0 || Le16(data + 20) != 0x300) {
    ShowMessage(fmsg::kPalDamaged);
    return nullptr;
  }
  // More than 256 entries are cut to 256, and only the entries the file holds are taken.
  const size_t declared = std::min<size_t>(Le16(data + 22), 256);
  const size_t present = std::min(declared, (size - 24) / 4);
  if (present == 0) {
    ShowMessage(fmsg::kPalDamaged);
    return nullptr;
  }
  std::vector<Rgb> entries(present);
  for (size_t i = 0; i < present; ++i) entries[i] = {data[24 + 4 * i], data[25 + 4 * i], data[26 + 4 * i]};
  return Palette::Create(entries.data(), static_cast<int>(present));
}

std::unique_ptr<Palette> ReadPalFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  uint8_t buffer[kMaxRead];
  const size_t n = file ? std::fread(buffer, 1, sizeof buffer, file.get()) : 0;
  return ReadPalBytes(buffer, n, path);
}

int WritePalFile(const std::string& path, const Palette& palette) {
  const int n = std::clamp(palette.count(), 0, Palette::kMaxEntries);
  std::array<uint8_t, kMaxRead> bytes{};
  std::memcpy(&bytes[0], "RIFF", 4);
  PutLe32(&bytes[4], static_cast<uint32_t>(4 * n + 16));
  std::memcpy(&bytes[8], "PAL ", 4);
  std::memcpy(&bytes[12], "data", 4);
  PutLe32(&bytes[16], static_cast<uint32_t>(4 * n + 4));
  PutLe16(&bytes[20], 0x300);
  PutLe16(&bytes[22], static_cast<uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    bytes[24 + 4 * static_cast<size_t>(i)] = palette[i].r;
    bytes[25 + 4 * static_cast<size_t>(i)] = palette[i].g;
    bytes[26 + 4 * static_cast<size_t>(i)] = palette[i].b;
  }
  auto sink = FileSink::Create(path);
  const bool ok = sink && sink->write(bytes.data(), 24 + 4 * static_cast<size_t>(n)) && sink->close();
  if (!ok) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  return 1;
}

std::unique_ptr<Palette> LoadPaletteFromFile(const std::string& path) {
  std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (tail == ".pal") return ReadPalFile(path);
  LoadResult loaded = LoadAnimationFile(path);
  if (!loaded.document) return nullptr;
  return std::move(loaded.document->globalPalette);
}

}  // namespace fw
