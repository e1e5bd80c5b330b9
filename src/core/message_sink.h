#pragma once
// How the core tells the user about problems and asks questions. The window shows message
// boxes, batch runs print to standard error, tests record what was shown.
#include <string>
#include <vector>

namespace fw {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // `id` is the string-table id the text came from, 0 for texts without one.
  virtual void showError(int id, const std::string& text) = 0;
  // `defaultAnswer` is what a sink without a user (batch) answers.
  virtual Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
                     Answer defaultAnswer) = 0;
  // Something the user should know that is not a problem (what a save chose instead of the
  // asked-for way); never counted as a failure.
  virtual void showNote(const std::string& text) { (void)text; }
};

// Prints "错误: text" lines to standard error and answers questions with their default.
class StderrMessageSink : public MessageSink {
 public:
  void showError(int id, const std::string& text) override;
  Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
             Answer defaultAnswer) override;
  void showNote(const std::string& text) override;
};

// Keeps every message for tests to inspect; answers with a scripted answer or the default.
class RecordingMessageSink : public MessageSink {
 public:
  struct Entry {
    int id;
    std::string text;
    bool question;
  };
  std::vector<Entry> entries;
  std::vector<Answer> scriptedAnswers;  // consumed front to back
  std::vector<std::string> notes;

  void showError(int id, const std::string& text) override;
  Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
             Answer defaultAnswer) override;
  void showNote(const std::string& text) override { notes.push_back(text); }

  std::vector<int> ids() const;
  std::vector<std::string> texts() const;
  void clear() { entries.clear(); }
};

// While alive, stands in for the sink in use and passes each distinct error text on once:
// a file with thousands of parts damaged the same way says so once per kind of damage, not
// once per part. Questions pass straight through.
class DistinctMessages : public MessageSink {
 public:
  DistinctMessages();
  ~DistinctMessages() override;
  DistinctMessages(const DistinctMessages&) = delete;
  DistinctMessages& operator=(const DistinctMessages&) = delete;
  // True when any error was shown (or held back as a repeat) while this was in place.
  bool anyError() const { return !seen_.empty(); }

  void showError(int id, const std::string& text) override;
  Answer ask(int id, const std::string& text, const std::string& caption, Buttons buttons,
             Answer defaultAnswer) override;

 private:
  MessageSink* previous_;
  MessageSink* forward_;
  std::vector<std::string> seen_;
};

// The sink in use by the process; never null (stderr unless replaced).
MessageSink& Messages();
// Installs a sink (nullptr restores the stderr sink); returns the previous one.
MessageSink* SetMessageSink(MessageSink* sink);

// Formats a string-table message with printf-style arguments and shows it as an error.
void ShowMessage(int id, ...);
// Shows an unnumbered printf-style text as an error.
void ShowText(const char* format, ...);
// Fills a printf-style format (at most 512 characters result, as a message box holds).
std::string FormatText(const char* format, ...);

}  // namespace fw
