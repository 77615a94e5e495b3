// The built-in empty drawing new drawings are saved from: new_drawing.dxf, embedded at build time
// (make_new_drawing.py writes it). Saving a new drawing goes through the same path as saving an
// opened file.
#include <string_view>

#include "board/dxf/dxf_file.h"

namespace pelimator::board {

// Defined in the source the build makes from new_drawing.dxf.
std::string_view NewDrawingDxf() noexcept;

std::shared_ptr<const DxfSource> NewDrawingSource() {
    static const std::shared_ptr<const DxfSource> source =
        ReadDxfText(NewDrawingDxf(), "新規図面.dxf").source;
    return source;
}

}  // namespace pelimator::board
