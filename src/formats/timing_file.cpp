#include "formats/timing_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/undo_history.h"
#include "formats/file_bytes.h"
#include "formats/format_messages.h"
#include "gif/byte_sink.h"

namespace fw {

std::string SuggestedTimingName(const std::string& documentPath) {
  const size_t dot = documentPath.rfind('.');
  if (documentPath.empty() || dot == std::string::npos) return {};
  return documentPath.substr(0, dot) + "_timing.txt";
}

int WriteTimingFile(const std::string& path, const AnimHeader& document) {
  auto sink = FileSink::Create(path);
  bool ok = sink != nullptr;
  for (const ImageBlock* f = FirstImage(&document); f && ok; f = NextImage(f)) {
    const std::string number = FormatText("%d ", GifDelayFromDocument(f->delay, Prefs().timeBase()));
    ok = sink->write(number.data(), number.size());
  }
  if (sink) ok = sink->close() && ok;
  if (!ok) {
    ShowMessage(fmsg::kCannotWrite, path.c_str());
    return 0;
  }
  return 1;
}

int ApplyTimingText(const uint8_t* text, size_t size, AnimHeader& document) {
  ImageBlock* frame = FirstImage(&document);
  int set = 0;
  int64_t number = 0;
  bool inNumber = false;
  for (size_t i = 0; i <= size && frame; ++i) {
    const bool digit = i < size && text[i] >= '0' && text[i] <= '9';
    if (digit) {
      // Hundredths beyond what a GIF can hold are held at the largest it can.
      number = std::min<int64_t>(number * 10 + (text[i] - '0'), 0xFFFF);
      inNumber = true;
    } else if (inNumber) {
      frame->delay = GifDelayToDocument(static_cast<int>(number), Prefs().timeBase());
      frame = NextImage(frame);
      ++set;
      number = 0;
      inNumber = false;
    }
  }
  return set;
}

bool LoadTimingFile(const std::string& path, AnimHeader& document) {
  std::vector<uint8_t> text;
  // A timing file holds at most a few characters per frame; anything huge is not one.
  if (ReadFileBytes(path, size_t{64} << 20, text) == FileBytesStatus::kCannotOpen) return false;
  RecordUndo(undo_kind::kEditTiming, document, nullptr, {}, 0);
  ApplyTimingText(text.data(), text.size(), document);
  document.encodedSize = -1;
  return true;
}

}  // namespace fw
