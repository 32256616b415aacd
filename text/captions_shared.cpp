// The loader's entry to the caption overlay: the lines are made with the
// shared assets' script font and caption material. Kept apart from the
// overlay itself so that code using only the overlay does not need the
// shared assets.
#include "demo/shared_assets.h"
#include "text/captions.h"
#include "text/glyph_font.h"

namespace velm {

void setupCaptions() {
  if (!scriptFont) return;
  setupCaptions(*scriptFont, captionMaterial);
}

}  // namespace velm
