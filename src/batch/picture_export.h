// The batch command's picture writer: the board's SVG, PDF and PNG export, run without a window.
#pragma once

#include "batch/options.h"
#include "board/model/document.h"

namespace pelimator::batch {

// Writes picture of document through the board's export, exactly as the window's File menu
// does. Starts Qt on its offscreen platform the first time (fonts need it; no display is used).
// FileError when the export cannot be written or the drawing does not fit its sheet at scale.
void WritePicture(const board::BoardDocument& document, const PictureRequest& picture);

}  // namespace pelimator::batch
