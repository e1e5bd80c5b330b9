#include "core/batch.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "core/byte_size.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/read_budget.h"
#include "core/string_table.h"
#include "core/termination.h"

namespace fw {
namespace {

// Longest name a list line may hold; longer lines cannot be paths on any system we run on.
constexpr size_t kMaxListLine = 4096;
// List files beyond this are not lists of names.
constexpr std::streamoff kMaxListFile = 64 << 20;

struct Flag {
  char letter = 0;
  std::vector<std::string> values;
};

int ParseDelay(const std::string& text) {
  // Like atoi: leading blanks, an optional sign, digits; 0 when there are none.
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
  return static_cast<int>(negative ? -value : value);
}

// Digits with an optional sign, blanks around: what atoi reads completely. "0x10", "5abc" or
// "abc" would silently become 0 or 5.
bool IsPlainNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits) return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return i == text.size();
}

// A list line as a name: without a byte-order mark or surrounding blanks, and relative to the
// list's own folder (as playlists are) rather than to wherever the program was started.
std::string ListEntryName(std::string line, const std::string& listFolder) {
  static const std::string kByteOrderMark = "\xEF\xBB\xBF";
  if (line.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) line.erase(0, kByteOrderMark.size());
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
  if (line[0] == '/' || listFolder.empty()) return line;
  return listFolder + "/" + line;
}

// The folder part of a list's name, empty for a list in the current folder.
std::string ListFolder(const std::string& listPath) {
  const size_t slash = listPath.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : listPath.substr(0, slash);
}

bool ReadListFile(const std::string& path, std::vector<std::string>& names, bool& problem) {
  // A FIFO would block the open and a device never end: lists are regular files.
  struct stat st;
  const bool regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  std::ifstream in;
  if (regular) in.open(path, std::ios::binary);
  if (!regular || !in) {
    ShowText("Input file %s not found", path.c_str());
    problem = true;
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  std::string text;
  if (size < 0 || size > kMaxListFile) {
    ShowText("Error reading file list.");
    problem = true;
    return false;
  }
  text.resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(text.data(), size)) {
    ShowText("Error reading file list.");
    problem = true;
    return false;
  }
  names.clear();
  const std::string folder = ListFolder(path);
  // Blank lines (often a last one) name nothing and are passed over.
  for (const std::string& line : SplitListLines(text))
    if (std::string name = ListEntryName(line, folder); !name.empty()) names.push_back(std::move(name));
  return true;
}

// Passes every message on and counts the errors among them.
class ErrorCountingSink : public MessageSink {
 public:
  explicit ErrorCountingSink(MessageSink& next) : next_(next) {}
  void showError(int id, const std::string& text) override {
    ++errors;
    next_.showError(id, text);
  }
  Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
             Answer defaultAnswer) override {
    return next_.ask(id, text, caption, buttons, defaultAnswer);
  }
  void showNote(const std::string& text) override { next_.showNote(text); }
  int errors = 0;

 private:
  MessageSink& next_;
};

class BatchRun {
 public:
  BatchRun(BatchServices& services, DocumentState& state) : services_(services), state_(state) {}

  int run(const std::vector<std::string>& args) {
    size_t i = 0;
    while (i < args.size()) {
      const std::string& arg = args[i];
      if (arg.empty() || arg[0] != '-') return inputError(args, i);
      const size_t flagAt = i;
      Flag flag;
      flag.letter = arg.size() > 1 ? arg[1] : '\0';
      if (arg.size() > 2) flag.values.push_back(arg.substr(2));
      ++i;
      const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(flag.letter)));
      // -i takes every following name (a wildcard the shell expanded arrives that way); the
      // other flags take at most one value.
      while (i < args.size() && !args[i].empty() && args[i][0] != '-') {
        if (letter != 'i' && !flag.values.empty() && letter != 'z') break;
        flag.values.push_back(args[i++]);
      }
      // An output without a name is a malformed line, not a failed save.
      if (letter == 'o' && (flag.values.empty() || flag.values.front().empty())) return inputError(args, flagAt);
      if (!perform(letter, flag)) return stopped_;
      // Asked to end: what is done stays done, nothing more starts.
      if (TerminationSignal()) return kBatchProblem;
    }
    return problem_ ? kBatchProblem : kBatchOk;
  }

 private:
  int inputError(const std::vector<std::string>& args, size_t from) {
    std::string rest;
    for (size_t k = from; k < args.size(); ++k) rest += (k > from ? " " : "") + args[k];
    ShowText("input error: %s", rest.c_str());
    return kBatchInputError;
  }

  // False when the run ends here (stopped_ then holds the exit status).
  bool perform(char letter, const Flag& flag) {
    switch (letter) {
      case 'i': return input(flag, false);
      case 'l': return input(flag, true);
      case 'o': output(flag); return true;
      case 't': retime(flag); return true;
      case 'z': optimize(); return true;
      case 's': return fitSize(flag);
      default: {
        const char shown[2] = {flag.letter, 0};
        ShowText("Unrecognized flag: %s", shown);
        stopped_ = kBatchInputError;
        return false;
      }
    }
  }

  bool input(const Flag& flag, bool fromList) {
    std::vector<std::string> names;
    if (fromList) {
      const std::string listPath = flag.values.empty() ? std::string() : flag.values.front();
      if (!ReadListFile(listPath, names, problem_)) {
        ShowText("Input operation unsuccessful.");
        return endRun();
      }
    } else {
      const std::vector<std::string> values = flag.values.empty() ? std::vector<std::string>{""} : flag.values;
      for (const std::string& value : values) {
        std::vector<std::string> matched = ExpandPattern(value);
        if (matched.empty()) {
          ShowText("Input file %s not found", value.c_str());
          problem_ = true;
        }
        names.insert(names.end(), matched.begin(), matched.end());
      }
      std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
    }

    AnimPtr head;
    AnimHeader* tail = nullptr;
    int loaded = 0;
    // The files join the document and each other: together they are held to its pixel limit.
    int64_t held = state_.document ? DocumentPixels(*state_.document) : 0;
    for (const std::string& name : names) {
      LoadResult r;
      if (name.size() > kMaxListLine || name.find('\0') != std::string::npos) {
        // A name no file system accepts: report it as unopenable rather than open a prefix of it.
        const std::string shown = name.substr(0, std::min(name.find('\0'), size_t{260}));
        ShowMessage(msg::kCannotOpenFile, shown.c_str());
      } else {
        PixelsAlreadyHeld alreadyHeld(held);
        r = services_.load(name);
      }
      if (r.document) held += DocumentPixels(*r.document);
      // A damaged file keeps the frames read completely, as in the window (the reader has
      // said what was wrong); the names after it are not loaded.
      const bool usable = (r.status == kReadComplete || r.status == kReadPartial) && r.document;
      if (usable) {
        AnimHeader* raw = r.document.get();
        if (!head) head = std::move(r.document);
        else tail->nextInChain = std::move(r.document);
        tail = raw;
        ++loaded;
      }
      if (r.status != kReadComplete || !usable) {
        problem_ = true;
        break;
      }
    }
    if (loaded == 0) {
      ShowText("Input operation unsuccessful.");
      problem_ = true;
      return endRun();
    }
    if (!MergeLoadedAnimations(state_, std::move(head), static_cast<int>(names.size()),
                               services_.reconcilePalettes ? services_.reconcilePalettes
                                                           : PaletteReconciler(KeepPalettesAsLocal))) {
      ShowText("Input merge unsuccessful.");
      problem_ = true;
    }
    return true;
  }

  bool endRun() {
    stopped_ = kBatchProblem;
    return false;
  }

  void output(const Flag& flag) {
    if (!state_.document) {
      ShowText("Nothing to output.");
      problem_ = true;
      return;
    }
    state_.fileName = flag.values.empty() ? std::string() : flag.values.front();
    if (!services_.save || !services_.save(state_.fileName, *state_.document)) problem_ = true;
  }

  void retime(const Flag& flag) {
    const std::string value = flag.values.empty() ? std::string() : flag.values.front();
    if (!IsPlainNumber(value)) {
      ShowText("Delay '%s' is not a number; the delays were not changed.", value.c_str());
      problem_ = true;
      return;
    }
    if (!state_.document) return;
    const int delay = ParseDelay(value);
    for (ImageBlock* f = FirstImage(state_.document.get()); f; f = NextImage(f)) f->delay = std::max(0, delay);
    state_.document->encodedSize = -1;
  }

  void optimize() {
    if (!state_.document) {
      ShowText("Nothing to optimize.");
      problem_ = true;
      return;
    }
    if (!services_.optimize) {
      ShowText("Optimizing is not available in this build; the animation was not optimized.");
      problem_ = true;
      return;
    }
    if (!services_.optimize(*state_.document)) problem_ = true;
    state_.document->encodedSize = -1;
  }

  // A file that does not fit is not what was asked for: the run ends before any output.
  bool fitSize(const Flag& flag) {
    const std::string value = flag.values.empty() ? std::string() : flag.values.front();
    const std::optional<int64_t> target = ParseByteSize(value);
    if (!target) {
      ShowText("Size '%s' is not a size such as 500K, 2M or 300000; nothing was written.", value.c_str());
      problem_ = true;
      return endRun();
    }
    if (!state_.document) {
      ShowText("Nothing to fit to a size.");
      problem_ = true;
      return endRun();
    }
    if (!services_.fitSize) {
      ShowText("Fitting to a size is not available in this build; nothing was written.");
      problem_ = true;
      return endRun();
    }
    std::string report;
    if (!services_.fitSize(*state_.document, *target, report)) {
      ShowText("%s", report.c_str());
      problem_ = true;
      return endRun();
    }
    state_.document->encodedSize = -1;
    return true;
  }

  BatchServices& services_;
  DocumentState& state_;
  bool problem_ = false;
  int stopped_ = kBatchOk;
};

}  // namespace

bool BatchOptimizes(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && std::tolower(static_cast<unsigned char>(arg[1])) == 'z';
  });
}

int RunBatch(const std::vector<std::string>& args, BatchServices& services, DocumentState& state) {
  ErrorCountingSink counter(Messages());
  MessageSink* previous = SetMessageSink(&counter);
  int status = BatchRun(services, state).run(args);
  SetMessageSink(previous);
  // Whatever reported an error (a reader that kept part of a file, a writer) fails the run.
  if (status == kBatchOk && counter.errors > 0) status = kBatchProblem;
  return status;
}

}  // namespace fw
