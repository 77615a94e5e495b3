// The underlay's tables and block context: layers, linetypes, $LTSCALE and the blocks' records.
#include <algorithm>
#include <cctype>

#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board::underlay {

namespace {

constexpr std::int64_t kTrueTypeBold = 0x2000000;

}  // namespace

void Builder::ReadHeader(std::size_t r) {
    std::vector<Tag> tags;
    if (!Read(r, tags)) return;
    std::string_view variable;
    for (const Tag& t : tags) {
        if (t.code == 9) variable = t.text;
        if (variable == "$LTSCALE" && t.code == 40) m_linetypes.SetDrawingScale(t.real);
        if (variable == "$DIMASZ" && t.code == 40) m_headerArrow.size = t.real;
        if (variable == "$DIMSCALE" && t.code == 40) m_headerArrow.scale = t.real;
        if (variable == "$DIMTXT" && t.code == 40) m_headerArrow.textHeight = t.real;
        if (variable == "$DIMTXSTY" && t.code == 7) m_headerArrow.textStyle = LayerKey(t.text);
        if (variable == "$DIMTSZ" && t.code == 40) m_headerArrow.tick = t.real;
        if (variable == "$DIMEXO" && t.code == 40) m_headerArrow.offset = t.real;
        if (variable == "$DIMEXE" && t.code == 40) m_headerArrow.extension = t.real;
        if (variable == "$DIMDEC" && t.code == 70) m_headerArrow.decimals = t.integer;
        if (variable == "$DIMADEC" && t.code == 70) m_headerArrow.angleDecimals = t.integer;
        if (variable == "$DIMGAP" && t.code == 40) m_headerArrow.gap = t.real;
        if (variable == "$DIMZIN" && t.code == 70) m_headerArrow.zeros = t.integer;
        if (variable == "$DIMLUNIT" && t.code == 70) m_headerArrow.units = t.integer;
        if (variable == "$DIMDSEP" && t.code == 70) m_headerArrow.separator = t.integer;
    }
}

double Builder::ArrowLength(std::string_view style, const ArrowStyle& own) const {
    constexpr double kDefaultSize = 0.18;  // the DXF default of DIMASZ
    ArrowStyle named;
    if (const auto found = m_dimStyles.find(LayerKey(style)); found != m_dimStyles.end())
        named = found->second;
    const double size =
        own.size.value_or(named.size.value_or(m_headerArrow.size.value_or(kDefaultSize)));
    double scale = own.scale.value_or(named.scale.value_or(m_headerArrow.scale.value_or(1.0)));
    // 0 asks for the paper space viewport's scale, which model space does not have.
    if (!(scale > 0.0) || !std::isfinite(scale)) scale = 1.0;
    if (!(size >= 0.0) || !std::isfinite(size)) return kDefaultSize * scale;
    return size * scale;
}

void Builder::ReadTableRecord(std::size_t r) {
    std::vector<Tag>& tags = m_tags[0];
    if (!Read(r, tags)) return;
    const std::string_view type = tags.front().text;
    if (type == "LAYER") {
        std::string name;
        std::string_view linetype;
        LayerInfo info;
        std::int64_t aci = 7;
        std::optional<std::int64_t> rgb;
        std::int64_t flags = 0;
        for (const Tag& t : tags) {
            if (t.code == 2) name = LayerKey(t.text);
            if (t.code == 62) aci = t.integer;
            if (t.code == 420) rgb = t.integer;
            if (t.code == 70) flags = t.integer;
            if (t.code == 6) linetype = t.text;
        }
        m_linetypes.SetLayerLinetype(name, linetype);
        info.colour = rgb ? UnpackRgb(static_cast<std::int32_t>(*rgb))
                          : AciToRgb(static_cast<std::int32_t>(aci));
        info.frozen = (flags & 1) != 0;
        m_layers.emplace(std::move(name), info);
    } else if (type == "BLOCK_RECORD") {
        std::string handle;
        std::string name;
        for (const Tag& t : tags) {
            if (t.code == 5) handle = t.text;
            if (t.code == 2) name = LayerKey(t.text);
        }
        handle = UpperHandle(handle);
        if (!handle.empty()) m_blockRecords.emplace(std::move(handle), std::move(name));
    } else if (type == "LTYPE") {
        std::string name;
        std::string description;
        std::vector<double> pattern;
        for (const Tag& t : tags) {
            if (t.code == 2) name = Decode(t.text);
            if (t.code == 3) description = Decode(t.text);
            if (t.code == 49) pattern.push_back(t.real);
        }
        m_linetypes.AddLinetype(name, std::move(pattern), description);
    } else if (type == "STYLE") {
        ReadTextStyle(tags);
    } else if (type == "DIMSTYLE") {
        std::string name;
        ArrowStyle style;
        for (const Tag& t : tags) {
            if (t.code == 2) name = LayerKey(t.text);
            if (t.code == 7) style.textStyle = LayerKey(t.text);
            if (t.code == 340) style.textStyle = "#" + UpperHandle(t.text);
            if (t.code != 2) style.Take(t);
        }
        m_dimStyles.emplace(std::move(name), style);
    }
}

void Builder::ReadTextStyle(const std::vector<Tag>& tags) {
    // A TrueType style names its family and weight in the extended data AutoCAD writes:
    // ACAD's 1000 (the family) and 1071 (the pitch and family in its low byte, the charset
    // in the next, italic 0x1000000, bold 0x2000000).
    std::string name;
    std::string family;
    std::string handle;
    TextFace face;
    bool acad = false;
    bool familyRead = false;
    for (const Tag& t : tags) {
        if (t.code == 1001) acad = t.text == "ACAD";
        if (t.code == 2 && !acad) name = LayerKey(t.text);
        if (t.code == 5 && !acad) handle = UpperHandle(t.text);
        if (acad && t.code == 1000 && !familyRead) {
            family = Decode(t.text);
            familyRead = true;
        }
        if (acad && t.code == 1071) face.bold = (t.integer & kTrueTypeBold) != 0;
    }
    if (!family.empty()) {
        auto& fonts = m_underlay.fonts;
        const auto found = std::find(fonts.begin(), fonts.end(), family);
        face.font = static_cast<std::uint32_t>(found - fonts.begin());
        if (found == fonts.end()) fonts.push_back(std::move(family));
    }
    if (!handle.empty()) m_styleHandles.insert_or_assign(std::move(handle), name);
    m_textFaces.insert_or_assign(std::move(name), face);
}

void Builder::ReadBlocks() {
    Block* block = nullptr;
    bool paper = false;
    for (std::size_t r = m_where.blocksFirst; r < m_where.blocksLast; ++r) {
        const std::string_view type = TypeOf(r);
        if (type == "BLOCK") {
            std::vector<Tag>& tags = m_tags[0];
            if (!Read(r, tags)) continue;
            std::string name;
            Vec2 base;
            for (const Tag& t : tags) {
                if (t.code == 2) name = LayerKey(t.text);
                if (t.code == 10) base.x = t.real;
                if (t.code == 20) base.y = t.real;
            }
            paper = name.starts_with("*PAPER_SPACE");
            block = &m_blocks[name];
            block->base = base;
        } else if (type == "ENDBLK") {
            block = nullptr;
        } else if (block != nullptr && type != "VERTEX" && type != "SEQEND" && type != "ATTRIB" &&
                   type != "ATTDEF") {
            block->records.push_back(static_cast<std::uint32_t>(r));
            if (paper) m_underlay.paperSpace = true;
        }
    }
}

const LayerInfo* Builder::Layer(std::string_view name) const {
    const auto found = m_layers.find(LayerKey(name));
    return found == m_layers.end() ? nullptr : &found->second;
}

}  // namespace pelimator::board::underlay
