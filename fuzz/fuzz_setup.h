#pragma once
// What every harness does once: keep messages off the console and planes small, since inputs
// may claim large pictures honestly and runs should stay fast.
#include <cstddef>
#include <string>

#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "core/read_budget.h"

namespace fw::fuzz {

class QuietSink : public MessageSink {
 public:
  void showError(int, const std::string&) override {}
  Answer ask(int, const std::string&, const std::string&, Buttons, Answer a) override { return a; }
};

inline void QuietSmallPlanes(size_t maxPlaneBytes) {
  static QuietSink quiet;
  SetMaxPlaneBytes(maxPlaneBytes);
  // A document may hold about as much as one plane, a third of it made up of blank pictures:
  // together they stay well inside the harnesses' memory limit.
  SetDocumentPixelLimit(static_cast<int64_t>(maxPlaneBytes));
  SetMaxUnbackedBytes(maxPlaneBytes / 3);
  SetMessageSink(&quiet);
}

}  // namespace fw::fuzz
