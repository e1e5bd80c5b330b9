#include "app/editor_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/editor_module.h"

namespace fw {
namespace {

std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  path.resize(static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Beside the program in a build tree; under the library folder when installed.
void* LoadEditorModule(std::string& failure) {
  const std::string folder = ProgramFolder();
  for (const char* relative : {"/" FW_EDITOR_MODULE_NAME, "/" FW_EDITOR_MODULE_FROM_PROGRAM}) {
    const std::string candidate = folder + relative;
    if (::access(candidate.c_str(), R_OK) != 0) continue;
    if (void* module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    failure = ::dlerror();
    return nullptr;
  }
  failure = "no " FW_EDITOR_MODULE_NAME " beside " + folder + "/framewright or in " + folder + "/" +
            FW_EDITOR_MODULE_FROM_PROGRAM;
  return nullptr;
}

}  // namespace

int RunEditorModule(int argc, char** argv) {
  std::string failure;
  void* module = LoadEditorModule(failure);
  using Entry = int (*)(int, char**);
  Entry entry = module ? reinterpret_cast<Entry>(::dlsym(module, FW_EDITOR_ENTRY)) : nullptr;
  if (module && !entry) failure = ::dlerror();
  if (!entry) {
    std::fprintf(stderr,
                 "Framewright: the editor window cannot be started (%s).\n"
                 "Batch mode still works: framewright -i input.gif ... -o output.gif\n",
                 failure.c_str());
    return 1;
  }
  // The module stays loaded to the end: Qt's exit handlers run code inside it.
  return entry(argc, argv);
}

}  // namespace fw
