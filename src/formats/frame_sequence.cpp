#include "formats/frame_sequence.h"

#include <algorithm>
#include <cctype>

#include "core/file_replace.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/write_failure.h"
#include "formats/filmstrip.h"
#include "formats/format_messages.h"

namespace fw {
namespace {

bool EndsWithIgnoringCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

std::string DoublePercent(const std::string& s) {
  std::string out;
  for (char c : s) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

}  // namespace

int SequenceDigits(int count) {
  int digits = 0;
  for (int64_t power = 1; power < count; power *= 10) ++digits;
  return digits;
}

std::string SequencePattern::name(int number) const {
  if (!numbered) return prefix;
  std::string digits = std::to_string(number);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  return prefix + digits + suffix;
}

std::string SequencePattern::printfText() const {
  if (!numbered) return DoublePercent(prefix);
  return DoublePercent(prefix) + "%0" + std::to_string(width) + "d" + DoublePercent(suffix);
}

SequencePattern BuildSequencePattern(const std::string& path, const std::string& extension, bool several, int digits) {
  std::string full = path;
  if (!EndsWithIgnoringCase(full, "." + extension)) full += "." + extension;
  const size_t nameAt = full.size() - BaseName(full).size();

  SequencePattern pattern;
  const size_t hash = full.find('#', nameAt);
  if (hash != std::string::npos) {
    size_t run = hash;
    while (run < full.size() && full[run] == '#') ++run;
    pattern.prefix = full.substr(0, hash);
    pattern.width = std::max(static_cast<int>(run - hash), digits);
    pattern.suffix = full.substr(run);
    pattern.numbered = true;
  } else if (!several) {
    pattern.prefix = full;
  } else {
    size_t dot = full.rfind('.');
    if (dot == std::string::npos || dot < nameAt) dot = full.size();
    pattern.prefix = full.substr(0, dot);
    pattern.suffix = full.substr(dot);
    pattern.width = digits;
    pattern.numbered = true;
  }
  return pattern;
}

int SaveFrameSequence(const std::string& path, AnimHeader& document, uint32_t options, const std::string& extension,
                      const ImageFileWriter& write, Progress* progress) {
  const bool selectedOnly = options & save_option::kSelectedOnly;
  const int selected = CountSelected(document);
  const int toWrite = selectedOnly ? selected : document.frameCount;
  const bool several = selectedOnly ? selected > 1 : document.frameCount > 1;
  const SequencePattern pattern =
      BuildSequencePattern(path, extension, several, SequenceDigits(document.frameCount));

  StartProgress(progress, toWrite);
  SetProgressText(progress, "Saving frames...");
  int result = 1;
  int k = 0;
  for (ImageBlock* f = FirstImage(&document); f && result == 1; f = NextImage(f)) {
    ++k;
    if (selectedOnly && !f->selected) continue;
    const std::string target = pattern.name(k);
    ReplacementFile file(target, extension);
    if (!file.ok()) {
      if (!file.targetRefused()) ShowMessage(fmsg::kCannotSaveTemp, (DirectoryOf(file.resolvedTarget()) + "/").c_str());
      result = 0;
    } else if (write(file.writePath(), *f) != 1) {
      if (const int error = TakeWriteError()) ReportWriteFailure(target, error);
      result = 0;
    } else if (!file.commit()) {
      result = 0;
    } else if (!StepProgress(progress)) {
      result = 0;
    }
  }
  CloseProgress(progress);
  return result;
}

}  // namespace fw
