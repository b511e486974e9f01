#pragma once
// The photo editor's mode button images: "btn_reversal.png" (shown in trimming mode, leads to
// reversal) and "btn_trimming.png" (shown in reversal mode, leads back to trimming).
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"

namespace editorart {

inline constexpr int kButtonSize = 192; // pixels; shown at 96 points

std::vector<artwork::Artwork> drawEditorButtons();

} // namespace editorart
