#include "core/message_sink.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>

#include "core/string_table.h"

namespace fw {
namespace {

constexpr size_t kMaxMessageLength = 512;

std::string VFormat(const char* format, va_list args) {
  char buffer[kMaxMessageLength + 1];
  const int n = std::vsnprintf(buffer, sizeof buffer, format ? format : "", args);
  if (n < 0) return {};
  size_t length = std::min<size_t>(static_cast<size_t>(n), kMaxMessageLength);
  // A cut text must not end inside a UTF-8 sequence.
  if (static_cast<size_t>(n) > length)
    while (length > 0 && (static_cast<unsigned char>(buffer[length]) & 0xC0) == 0x80) --length;
  return std::string(buffer, length);
}

StderrMessageSink& DefaultSink() {
  static StderrMessageSink sink;
  return sink;
}

MessageSink* g_sink = nullptr;

std::string Caption() {
  const char* c = MessageText(msg::kErrorCaption);
  return c ? c : "Error";
}

}  // namespace

void StderrMessageSink::showError(int, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", Caption().c_str(), text.c_str());
  std::fflush(stderr);
}

Answer StderrMessageSink::ask(int, const std::string& text, const std::string& caption, Buttons,
                              Answer defaultAnswer) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return defaultAnswer;
}

void StderrMessageSink::showNote(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void RecordingMessageSink::showError(int id, const std::string& text) {
  entries.push_back({id, text, false});
}

Answer RecordingMessageSink::ask(int id, const std::string& text, const std::string&, Buttons,
                                 Answer defaultAnswer) {
  entries.push_back({id, text, true});
  if (scriptedAnswers.empty()) return defaultAnswer;
  Answer a = scriptedAnswers.front();
  scriptedAnswers.erase(scriptedAnswers.begin());
  return a;
}

std::vector<int> RecordingMessageSink::ids() const {
  std::vector<int> out;
  for (const Entry& e : entries) out.push_back(e.id);
  return out;
}

std::vector<std::string> RecordingMessageSink::texts() const {
  std::vector<std::string> out;
  for (const Entry& e : entries) out.push_back(e.text);
  return out;
}

MessageSink& Messages() { return g_sink ? *g_sink : DefaultSink(); }

MessageSink* SetMessageSink(MessageSink* sink) {
  MessageSink* old = g_sink;
  g_sink = sink;
  return old;
}

void ShowMessage(int id, ...) {
  va_list args;
  va_start(args, id);
  const char* format = MessageText(id);
  std::string text = format ? VFormat(format, args) : std::to_string(id);
  va_end(args);
  Messages().showError(id, text);
}

void ShowText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  Messages().showError(0, text);
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = VFormat(format, args);
  va_end(args);
  return text;
}

DistinctMessages::DistinctMessages() : previous_(g_sink), forward_(&Messages()) { g_sink = this; }

DistinctMessages::~DistinctMessages() { g_sink = previous_; }

void DistinctMessages::showError(int id, const std::string& text) {
  if (std::find(seen_.begin(), seen_.end(), text) != seen_.end()) return;
  seen_.push_back(text);
  forward_->showError(id, text);
}

Answer DistinctMessages::ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
                             Answer defaultAnswer) {
  return forward_->ask(id, text, caption, buttons, defaultAnswer);
}

}  // namespace fw
