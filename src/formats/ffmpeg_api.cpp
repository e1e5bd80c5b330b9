#include "formats/ffmpeg_api.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "core/message_sink.h"

namespace fw::av {
namespace {

#define FW_TEXT(x) #x
#define FW_SONAME(lib, major) "lib" lib ".so." FW_TEXT(major)
// The versions the program was built against, each library once, those it depends on first.
constexpr const char* kLibraries[] = {
    FW_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    FW_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    FW_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
    FW_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
};
#undef FW_SONAME
#undef FW_TEXT

struct Loaded {
  Functions functions;
  std::string problem;
};

// The first library of `handles` that has the symbol.
void* Find(const std::vector<void*>& handles, const char* name) {
  for (void* h : handles)
    if (void* symbol = dlsym(h, name)) return symbol;
  return nullptr;
}

Loaded Load() {
  Loaded loaded;
  std::vector<void*> handles;
  for (const char* library : kLibraries) {
    // Kept open for the rest of the run: the functions are used from then on.
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = dlerror();
      loaded.problem = why ? why : library;
      return loaded;
    }
    handles.push_back(handle);
  }
  Functions& f = loaded.functions;
#define FW_FFMPEG_LOOK_UP(name)                                                                \
  f.name = reinterpret_cast<decltype(f.name)>(Find(handles, #name));                           \
  if (!f.name && loaded.problem.empty()) loaded.problem = std::string(#name) + " is missing";
  FW_FFMPEG_FUNCTIONS(FW_FFMPEG_LOOK_UP)
#undef FW_FFMPEG_LOOK_UP
  // The libraries' own messages would end up on standard error in batch runs; ours say enough.
  if (loaded.problem.empty()) f.av_log_set_level(AV_LOG_QUIET);
  return loaded;
}

const Loaded& Libraries() {
  static const Loaded loaded = Load();
  return loaded;
}

}  // namespace

bool Ready() {
  const std::string& problem = Libraries().problem;
  if (problem.empty()) return true;
  ShowText("FFmpeg's libraries, which read and write AVI files, could not be loaded: %s", problem.c_str());
  return false;
}

const Functions& Api() { return Libraries().functions; }

}  // namespace fw::av
