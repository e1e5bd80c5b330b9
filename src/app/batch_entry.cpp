#include "app/batch_entry.h"

#include "app/settings_store.h"
#include "core/batch.h"
#include "core/preferences.h"
#include "formats/file_dispatch.h"
#include "formats/save_document.h"
#include "imaging/optimize.h"
#include "imaging/palette_reconcile.h"
#include "imaging/size_fit.h"

namespace fw {

int RunBatchFromCommandLine(const std::vector<std::string>& args) {
  SettingsStore store;
  Prefs().load(&store);

  BatchServices services;
  const LoadOptions loading{.keepGifDataAsRead = BatchOptimizes(args)};
  services.load = [loading](const std::string& path) { return LoadAnimationFile(path, nullptr, loading); };
  services.save = [](const std::string& path, AnimHeader& document) { return SaveDocumentAs(path, document); };
  services.optimize = [](AnimHeader& document) { return BatchOptimize(document); };
  services.fitSize = [](AnimHeader& document, int64_t target, std::string& report) {
    return FitToSize(document, target, report);
  };
  services.reconcilePalettes = DocumentPaletteReconciler();
  DocumentState state;
  const int status = RunBatch(args, services, state);
  Prefs().load(nullptr);
  return status;
}

}  // namespace fw
