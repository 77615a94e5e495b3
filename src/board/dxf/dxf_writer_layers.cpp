// The LAYER records a DXF save writes: new ones, and the file's own with their changes.
#include <cstdlib>
#include <utility>
#include <vector>

#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board::writer {

namespace {

// Writes a layer record's groups again with its colour (62, and 420 when the number does not
// say it all) and its frozen flag (70) changed, every other group as it was. The colour goes
// after the flags (else after the name, or before any XDATA), where a layer record keeps it.
class LayerRecordRewrite {
public:
    LayerRecordRewrite(DxfEmitter& out, std::string_view bytes, std::int64_t aci, std::int64_t rgb,
                       bool visible, bool hasFlags)
        : m_out(out),
          m_bytes(bytes),
          m_aci(aci),
          m_rgb(rgb),
          m_visible(visible),
          m_hasFlags(hasFlags) {}

    void Tag(const DxfTag& tag) {
        if (tag.code >= 1000) ColourOnce();
        switch (tag.code) {
            case 70:
                Flags(tag);
                break;
            case 62:
                if (!m_wrote62) m_out.Integer(62, m_aci);
                m_wrote62 = true;
                break;
            case 420:
                if (m_rgb >= 0 && !m_wrote420) m_out.Integer(420, m_rgb);
                m_wrote420 = true;
                break;
            default:
                Keep(tag);
                if (tag.code == 2 && !m_hasFlags) ColourOnce();
                break;
        }
    }

    // The colour groups not written yet.
    void ColourOnce() {
        if (!m_wrote62) m_out.Integer(62, m_aci);
        if (m_rgb >= 0 && !m_wrote420) m_out.Integer(420, m_rgb);
        m_wrote62 = m_wrote420 = true;
    }

private:
    void Flags(const DxfTag& tag) {
        // Shown again: no longer frozen.
        const std::int64_t flags = m_visible ? (tag.integer & ~1) : tag.integer;
        if (flags == tag.integer) {
            Keep(tag);
        } else {
            m_out.Integer(70, flags);
        }
        ColourOnce();
    }
    void Keep(const DxfTag& tag) { m_out.Raw(m_bytes.substr(tag.begin, tag.end - tag.begin)); }

    DxfEmitter& m_out;
    std::string_view m_bytes;
    std::int64_t m_aci;
    std::int64_t m_rgb;
    bool m_visible;
    bool m_hasFlags;
    bool m_wrote62 = false;
    bool m_wrote420 = false;
};

std::string Decode(const DxfSource& source, std::string_view raw) {
    return DecodeDxfString(raw, source.version, source.codePage);
}

std::string Encode(const DxfSource& source, std::string_view text) {
    return EncodeDxfString(text, source.version, source.codePage);
}

// Pelimator's extended data of a layer: its number, and its board name when the DXF name
// does not give it.
void OurData(DxfEmitter& out, const DxfSource& source, const LayerPlan& plan) {
    out.Text(1001, kDxfAppName);
    if (Decode(source, plan.dxfName) != plan.data.name) {
        out.Text(1000, Encode(source, WithoutControls(plan.data.name)));
    }
    out.Integer(1071, plan.data.number);
}

// Colour number (negative when hidden) and true colour (-1 when the number says it all).
std::pair<std::int64_t, std::int64_t> Colour(const DxfSource& source, const LayerPlan& plan,
                                             std::int64_t oldAci) {
    std::int64_t aci = std::abs(oldAci);
    if (aci < 1 || aci > 255 || AciToRgb(static_cast<std::int32_t>(aci)) != plan.data.colour) {
        aci = NearestAci(plan.data.colour);
    }
    const bool exact = AciToRgb(static_cast<std::int32_t>(aci)) == plan.data.colour;
    const std::int64_t rgb = exact || !WritesTrueColour(source) ? -1 : PackRgb(plan.data.colour);
    return {plan.data.visible ? aci : -aci, rgb};
}

// The groups of the source's record, in order.
std::vector<DxfTag> RecordTags(const DxfSource& source, std::size_t record) {
    const std::size_t begin = source.records[record];
    const std::size_t end = source.records[record + 1];
    DxfTagReader reader(source.bytes.substr(0, end), source.layout, source.fileName);
    reader.Seek(begin, 1);
    std::vector<DxfTag> tags;
    for (DxfTag tag; reader.Next(tag);) tags.push_back(tag);
    return tags;
}

}  // namespace

void RecordHead(DxfEmitter& out, const DxfSource& source, const char* type, std::uint64_t handle,
                const std::string& owner, std::initializer_list<const char*> subclasses) {
    out.Text(0, type);
    if (source.handles) out.Handle(5, handle);
    if (!source.Modern()) return;
    out.Text(330, owner.empty() ? std::string("0") : owner);
    for (const char* subclass : subclasses) out.Text(100, subclass);
}

std::string WithoutControls(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20U) c = '_';
    }
    return text;
}

bool WritesTrueColour(const DxfSource& source) { return source.version >= "AC1018"; }

bool NeedsOurData(const DxfSource& source, const LayerPlan& plan) {
    return plan.newRecord || plan.entry->hasOurData ||
           Decode(source, plan.dxfName) != plan.data.name;
}

std::string NewLayerRecord(const DxfSource& source, const LayerPlan& plan,
                           const std::string& tableHandle) {
    DxfEmitter out(source.layout);
    RecordHead(out, source, "LAYER", plan.handle, tableHandle,
               {"AcDbSymbolTableRecord", "AcDbLayerTableRecord"});
    out.Text(2, plan.dxfName);
    out.Integer(70, 0);
    const auto [aci, rgb] = Colour(source, plan, 7);
    out.Integer(62, aci);
    if (rgb >= 0) out.Integer(420, rgb);
    if (!source.continuous.empty()) out.Text(6, source.continuous);
    // ezdxf (and AutoCAD) look up a layer without one in the plot style dictionary, which
    // a damaged file may not resolve.
    if (!source.plotStyle.empty()) out.Text(390, source.plotStyle);
    OurData(out, source, plan);
    return std::move(out.Out());
}

std::string RewrittenLayer(const DxfSource& source, const LayerPlan& plan) {
    const std::vector<DxfTag> tags = RecordTags(source, plan.entry->record);
    std::int64_t oldAci = 7;
    bool has70 = false;
    for (const DxfTag& tag : tags) {
        if (tag.code == 62) oldAci = tag.integer;
        has70 = has70 || tag.code == 70;
    }
    const auto [aci, rgb] = Colour(source, plan, oldAci);
    DxfEmitter out(source.layout);
    LayerRecordRewrite rewrite{out, source.bytes, aci, rgb, plan.data.visible, has70};
    const bool ourData = NeedsOurData(source, plan);
    bool wroteOurs = false;
    bool inOurs = false;
    for (const DxfTag& tag : tags) {
        // Pelimator's own XDATA is written anew in the place of the old.
        if (tag.code == 1001) {
            inOurs = TrimDxf(tag.value) == kDxfAppName;
            if (inOurs && ourData && !wroteOurs) {
                rewrite.ColourOnce();
                OurData(out, source, plan);
                wroteOurs = true;
            }
        }
        if (!inOurs) rewrite.Tag(tag);
    }
    rewrite.ColourOnce();
    if (ourData && !wroteOurs) OurData(out, source, plan);
    return std::move(out.Out());
}

}  // namespace pelimator::board::writer
