// The layer choice of the last layered PSD import, kept in word 6 for the next import and
// for batch runs. The bits mirror PsdChoiceFromPreferences.
#include "core/preferences.h"
#include "formats/psd_file.h"

namespace fw {

void StorePsdChoice(uint32_t choice) {
  struct Bit {
    uint32_t choice, word;
  };
  static constexpr Bit kBits[] = {{psd_choice::kFlatten, 0x2},
                                  {psd_choice::kLayers, 0x200},
                                  {psd_choice::kComposite, 0x400},
                                  {psd_choice::kNoBlending, 0x4000000},
                                  {psd_choice::kKeepBackground, 0x800},
                                  {psd_choice::kKeepTransparency, 0x8000000},
                                  {psd_choice::kCanvasSize, 0x80000000}};
  for (const Bit& b : kBits) Prefs().setBits(pref::kOptionFlags, b.word, (choice & b.choice) != 0);
}

}  // namespace fw
