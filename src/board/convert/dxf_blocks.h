// The block structure of a DXF drawing, for keeping it in a Jw_cad drawing: the block definitions
// that model-space inserts use, nested ones before those that insert them, and what each holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_source.h"
#include "board/dxf/dxf_underlay.h"
#include "board/model/types.h"

namespace pelimator::board {

// An INSERT a Jw_cad block insert holds as it is: one copy (no rows or columns), seen from above
// (extrusion +Z), a scale other than zero, of a block whose content is kept. In model space its
// attributes become texts beside it; inside a block an insert with attributes is drawn instead.
struct DxfPlacement {
    std::uint32_t record = 0;
    std::uint32_t block = 0;  // index into DxfBlockStructure::blocks
    Vec2 at;
    double scaleX = 1.0;
    double scaleY = 1.0;
    double radians = 0.0;
    std::string layer;                 // as written
    std::int32_t aci = 256;            // colour number; 256 by layer
    std::string linetype = "BYLAYER";  // as written (group 6)
};

// A line, circle or arc inside a block, kept exact (the underlay would flatten arcs).
struct DxfBlockCurve {
    bool circle = false;  // else an arc when radius > 0, a line when 0
    Vec2 a;               // line: start; circle and arc: centre
    Vec2 b;               // line: end
    double radius = 0.0;
    double startDegrees = 0.0;
    double endDegrees = 360.0;
    std::string layer;
    std::int32_t aci = 256;
    std::string linetype = "BYLAYER";  // as written (group 6), with its scale (48)
    double linetypeScale = 1.0;
};

// A linear or aligned DIMENSION of model space seen from above, as a Jw_cad dimension holds it.
struct DxfDimensionPlace {
    std::uint32_t record = 0;
    Vec2 line;   // a point of the dimension line (group 10)
    Vec2 first;  // the extension lines' origins (13, 14)
    Vec2 second;
    double radians = 0.0;  // the dimension line's direction
    std::string layer;
    std::int32_t aci = 256;
};

// A DIMENSION of model space other than linear or aligned (angular, radial, diameter, ordinate)
// seen from above: the lines, arcs and circles its block draws, through nested inserts too,
// where they stand (an arc under an insert that stretches it is left to the underlay).
struct DxfDimensionParts {
    std::uint32_t record = 0;
    std::vector<DxfBlockCurve> curves;  // drawing coordinates; layer and colour resolved
};

struct DxfBlockContent {
    std::string name;  // UTF-8
    Vec2 base;
    std::vector<DxfPlacement> inserts;  // nested inserts kept as inserts
    std::vector<DxfBlockCurve> curves;  // lines, circles and arcs
    std::vector<std::uint32_t> drawn;   // every other record: drawn through the underlay
};

struct DxfBlockStructure {
    // The HEADER, TABLES and BLOCKS sections for the underlay builder; entities: every block's
    // drawn records and the kept inserts' attributes, as block content.
    DxfUnderlayRecords where;
    std::vector<DxfPlacement> inserts;              // model space's kept inserts
    std::vector<DxfDimensionPlace> dimensions;      // model space's linear and aligned dimensions
    std::vector<DxfDimensionParts> dimensionParts;  // and its other dimensions
    std::vector<DxfBlockContent> blocks;            // kept blocks, each after the blocks it inserts
    // Drawn record -> the index of the block it is drawn in; kModelSpace: a kept model-space
    // insert's attribute, drawn at the top level.
    std::map<std::uint32_t, std::uint32_t> blockOfRecord;
    static constexpr std::uint32_t kModelSpace = 0xFFFFFFFFU;
    // A kept model-space insert's attribute -> the insert's layer (as written): what the
    // attribute draws on layer 0 is on it, shown or hidden with the insert.
    std::map<std::uint32_t, std::string> insertLayerOf;
    // Records drawn on paper-space layouts (viewports, which show model space, left out).
    std::size_t paperRecords = 0;
    // The file's linetypes, its layers' and $LTSCALE, for the kept blocks' lines and arcs.
    DxfLinetypes linetypes;
    // Texts (TEXT, MTEXT, ATTRIB, ATTDEF) whose style's font Jw_cad lays out in cells (CellFont).
    std::set<std::uint32_t> cellTexts;
};

// Reads the structure; a damaged record is left to the underlay (drawn, not kept as a block).
[[nodiscard]] DxfBlockStructure ReadDxfBlockStructure(const DxfSource& source);

}  // namespace pelimator::board
