#include "convert/BackgroundReporter.h"

namespace convert {

void BackgroundReporter::Replay(core::Reporter& person) const {
  for (const auto& [caption, text] : messages_) {
    if (caption.empty()) person.ShowMessage(text);
    else person.ShowError(caption, text);
  }
}

}  // namespace convert
