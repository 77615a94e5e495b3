// The parts of a JWW to DXF conversion: the symbol tables it fills as entities need them, and
// the writer of one entity.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "board/convert/dxf_out.h"
#include "board/jww/jww_shapes.h"
#include "board/model/layers.h"

namespace pelimator::board::convert {

// Handles of the template's records that new records name as owners or links.
struct TemplateHandles {
    std::string layerTable, linetypeTable, styleTable, blockRecordTable;
    std::string modelSpace;  // *Model_Space's block record
    std::string plotStyle;   // layer 0's plot style (390), given to every layer
    std::string material;    // layer 0's material (347)
};

// The LAYER, LTYPE and STYLE records a conversion needs, made as entities ask for them.
class DxfTables {
public:
    DxfTables(const jww::Header& header, std::span<const LayerData> layers,
              const TemplateHandles& owners, DxfHandles& handles);
    // The layer of an entity of the list: "g-l name" as the board names Jw_cad's layer (group
    // and layer in hexadecimal); temporary points on its twin that does not print.
    [[nodiscard]] std::string Layer(const jww::Common& common, bool temporary = false);
    // The linetype of a pen style: for a dashed type the known name nearest to its pattern,
    // else "" (continuous).
    [[nodiscard]] std::string Linetype(std::uint8_t penStyle);
    // The text style of a font and weight (no font, not bold: Standard).
    [[nodiscard]] std::string TextStyle(const std::string& font, bool bold);
    void WriteLayers(DxfOut& out) const;
    void WriteLinetypes(DxfOut& out) const;
    void WriteStyles(DxfOut& out) const;

private:
    struct LayerRecord {
        std::string name;
        std::int32_t aci = 7;
        bool shown = true;
        bool locked = false;
        bool plotted = true;
    };
    const jww::Header& m_header;
    std::map<std::int32_t, std::string> m_boardNames;  // board layer number -> name
    const TemplateHandles& m_owners;
    DxfHandles& m_handles;
    std::map<std::pair<std::int32_t, bool>, LayerRecord> m_layers;
    std::map<std::uint8_t, std::string> m_linetypes;
    std::set<std::string> m_linetypeNames;                         // taken by a type
    std::map<std::pair<std::string, bool>, std::string> m_styles;  // font, bold -> style name
};

// Where entities go: their owner, and the scale from the file's paper millimetres to the DXF's
// millimetres (the group's scale at the top level, 1 inside block definitions, whose inserts
// carry it).
struct DxfPlace {
    std::string owner;
    double scale = 1.0;
    bool inBlock = false;  // entities on layer 0, taking the insert's
};

// Writes entities: one shape at a time, or a dimension's parts as a DIMENSION and its block.
class DxfEntityWriter {
public:
    DxfEntityWriter(const jww::Header& header, DxfTables& tables, DxfHandles& handles,
                    const std::unordered_map<std::uint32_t, std::string>& blockNames);
    // false when the shape has nothing DXF can show (an embedded picture's marker text).
    bool Write(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    // A dimension: its parts (the list's shapes of one record) as a DIMENSION drawn by a new
    // anonymous block, whose BLOCK_RECORD goes to records and BLOCK to blocks.
    void WriteDimension(std::span<const jww::Shape> parts, const DxfPlace& place, DxfOut& out,
                        DxfOut& records, DxfOut& blocks, const std::string& recordTable);
    // What was written, by DXF type.
    [[nodiscard]] const std::map<std::string, std::size_t>& Written() const { return m_written; }
    // Shapes written with less than they hold (markers as plain points, random lines solid).
    [[nodiscard]] const std::map<std::string, std::size_t>& Approximated() const {
        return m_approximated;
    }

private:
    void Head(const char* type, const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Line(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Arc(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Ellipse(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Point(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    bool Text(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Solid(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void CircleSolid(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    void Insert(const jww::Shape& shape, const DxfPlace& place, DxfOut& out);
    // The DIMENSION record of a dimension's parts, drawn by block.
    void DimensionEntity(std::span<const jww::Shape> parts, const DxfPlace& place,
                         const std::string& block, DxfOut& out);

    const jww::Header& m_header;
    DxfTables& m_tables;
    DxfHandles& m_handles;
    const std::unordered_map<std::uint32_t, std::string>& m_blockNames;
    std::map<std::string, std::size_t> m_written;
    std::map<std::string, std::size_t> m_approximated;
    std::size_t m_dimensions = 0;
};

// A block definition's first and last records, owned by its block record.
void BlockBegin(DxfOut& out, const std::string& record, const std::string& name, bool anonymous,
                DxfHandles& handles);
void BlockEnd(DxfOut& out, const std::string& record, DxfHandles& handles);

// The lineweight (hundredths of a millimetre, one of DXF's) nearest to a Jw_cad pen width; -3
// (the default) for width 0.
[[nodiscard]] int LineweightOf(std::uint16_t penWidth) noexcept;

}  // namespace pelimator::board::convert
