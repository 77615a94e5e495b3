// Copying what is selected in one drawing and pasting it into another: the lines and arcs carried
// in real millimetres with their layers' names, so that a drawing in other units (or a Jw_cad
// drawing on paper at a layer group's scale) gets them at their true size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "board/model/document.h"
#include "board/model/selection.h"

namespace pelimator::board {

inline constexpr const char* kPasteTitle = "貼り付け";

inline constexpr std::size_t kNoClipRecord = static_cast<std::size_t>(-1);

// A record of the copied drawing's file, carried whole for a drawing whose file takes records of
// the same form: its edit there (from: the file it is in), and the name of the layer an edit put
// it on ("" when it keeps the layer its file gives it).
struct ClipRecord {
    RecordEdit edit;
    std::string layerName;
};

struct DrawingClip {
    std::vector<EntityData> entities;         // in real millimetres
    std::vector<std::string> layerNames;      // the layer name of each entity in its drawing
    std::map<std::string, Rgb> layerColours;  // the colours of those layers, by name
    Vec2 base;                                // the reference point, in real millimetres
    std::size_t leftBehind = 0;  // records drawn beneath (texts, hatches...) not carried
    // Whole records: for each entity the record it draws (kNoClipRecord: none, or one that
    // cannot be carried whole), and the records; their form, the reference point in the copied
    // drawing's units and the millimetres of one of them.
    std::vector<std::size_t> entityRecord;
    std::vector<ClipRecord> records;
    std::string recordForm;
    Vec2 recordBase;
    double recordMillimetres = 1.0;
    // Records drawn beneath by kind ("TEXT"): all of them, and those that cannot be carried.
    std::map<std::string, std::size_t> beneathKinds;
    std::map<std::string, std::size_t> refusedKinds;
    std::optional<Box> beneathBox;  // what the records drawn beneath cover, in real millimetres
    [[nodiscard]] bool Empty() const noexcept { return entities.empty() && records.empty(); }
};

// How many real millimetres one unit of board layer `layer` of the drawing stands for: the
// unit's ($INSUNITS; none counts as millimetres), or for a drawing on paper the layer group's
// scale.
[[nodiscard]] double MillimetresPerUnit(const BoardDocument& document, std::int32_t layer);

// The lines and arcs of selection (a file's polyline as its segments), with base given in the
// drawing's units; and the file's records selected, for a paste into a file of the same form.
[[nodiscard]] DrawingClip ClipSelection(const BoardDocument& document, const Selection& selection,
                                        Vec2 base);

enum class PasteLayer : std::uint8_t {
    Current,   // everything onto the current layer
    SameName,  // onto the layer of the same name, made when missing
};

struct PasteResult {
    Selection pasted;
    std::vector<std::string> madeLayers;           // layers made for the paste, by name
    std::size_t leftBehind = 0;                    // records drawn beneath not pasted
    std::map<std::string, std::size_t> leftKinds;  // the same by kind
};

// One undoable step adding clip with its reference point at `at` (the target's units): into a
// drawing whose file takes the clip's records, those records whole (scaled between units, moved
// as a move does; their entities drawn too), else their lines and arcs. HostError, with nothing
// changed, while an edit step is open or when nothing in the clip can be pasted.
PasteResult PasteClip(BoardDocument& document, const DrawingClip& clip, Vec2 at, PasteLayer layers);

// The status bar's words for a paste: 「12 個の図形を貼り付けました」 and what was made or left
// (by kind: 「TEXT 3、INSERT 1 は貼り付けられません」).
[[nodiscard]] std::string PasteReport(const PasteResult& result);

}  // namespace pelimator::board
