#include "formats/save_document.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

#include "core/file_replace.h"
#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "gif/gif_writer.h"

namespace fw {
namespace {
const char* const kExtensions[] = {"", "gif", "avi", "swf", "bmp", "jpg", "psd", "png", "cur", "ico", "ani"};
}

int SaveTypeForName(const std::string& path) {
  if (path.size() < 3) return kSaveGif;
  std::string last = path.substr(path.size() - 3);
  std::transform(last.begin(), last.end(), last.begin(), [](unsigned char c) { return std::tolower(c); });
  for (int type = kSaveGif; type <= kSaveAni; ++type)
    if (last == kExtensions[type]) return type;
  return kSaveGif;
}

const char* SaveTypeExtension(int type) {
  return (type >= kSaveGif && type <= kSaveAni) ? kExtensions[type] : kExtensions[kSaveGif];
}

bool SaveDocumentAs(const std::string& path, AnimHeader& document, Progress* progress) {
  const int type = SaveTypeForName(path);
  if (type != kSaveGif) {
    ShowText("Saving as %s is not available in this build yet; %s was not written.", SaveTypeExtension(type),
             path.c_str());
    return false;
  }
  ClipAllToScreen(document);

  const std::string temporary = MakeTemporaryName(DirectoryOf(path), "gif", "gif");
  if (temporary.empty()) {
    ShowMessage(msg::kCannotSaveTemp, (DirectoryOf(path) + "/").c_str());
    return false;
  }
  if (WriteGifFile(temporary, document, progress) != 1) {
    // A temporary file that could not even be created has been reported by the writer.
    if (::access(temporary.c_str(), F_OK) == 0) {
      ::unlink(temporary.c_str());
      ShowMessage(msg::kCannotWrite, path.c_str());
    }
    return false;
  }
  return ReplaceFile(path, temporary);
}

}  // namespace fw
