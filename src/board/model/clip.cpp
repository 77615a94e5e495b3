// Copy and paste between drawings through real millimetres.
#include "board/model/clip.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "board/model/units.h"
#include "host/errors.h"

namespace pelimator::board {

namespace {

// The entity with every length multiplied by factor, about the origin.
EntityData Scaled(EntityData e, double factor) {
    e.start = factor * e.start;
    e.end = factor * e.end;
    e.center = factor * e.center;
    e.radius *= factor;
    return e;
}

std::string LayerName(const BoardDocument& document, std::int32_t layer) {
    const LayerData* data = document.LayerTable()->Find(layer);
    return data != nullptr ? data->name : std::to_string(layer);
}

// The target layer for a name: the first of that name, else a new one (its number one past the
// highest, in colour when given); a drawing on paper has a fixed set of layers, so there the
// current one.
std::int32_t LayerForName(BoardDocument& document, const std::string& name,
                          std::optional<Rgb> colour, std::vector<std::string>& made) {
    BoardLayers& layers = *document.LayerTable();
    std::int32_t highest = 0;
    for (std::size_t i = 0; i < layers.Count(); ++i) {
        if (layers.At(i).name == name) return layers.At(i).number;
        highest = std::max(highest, layers.At(i).number);
    }
    const std::int32_t current = document.CurrentAttributesModel()->Layer();
    if (document.Source() && document.Source()->RealPerPaper(current)) return current;
    (void)layers.Add(highest + 1, name, colour.value_or(Rgb{}));
    made.push_back(name);
    return highest + 1;
}

// Keeps the colour of the layer numbered layer under its name.
void NoteColour(const BoardDocument& document, std::int32_t layer, DrawingClip& clip) {
    if (const LayerData* data = document.LayerTable()->Find(layer))
        clip.layerColours.try_emplace(data->name, data->colour);
}

RecordEdit EditOfKey(const BoardDrawing& drawing, std::uint32_t key) {
    const auto& edits = drawing.RecordEdits();
    if (const auto found = edits.find(key); found != edits.end()) return found->second;
    RecordEdit edit;
    edit.source = key;
    return edit;
}

// The records a clip names, by key: whether an entity draws each (else it is drawn beneath),
// and where each entity's record is among them.
struct ClipKeys {
    std::vector<std::uint32_t> keys;
    std::vector<bool> beneath;
    std::unordered_map<std::uint32_t, std::size_t> indexOf;
    std::size_t Add(std::uint32_t key, bool under) {
        const auto [found, made] = indexOf.try_emplace(key, keys.size());
        if (made) {
            keys.push_back(key);
            beneath.push_back(under);
        }
        return found->second;
    }
};

// The records of keys carried whole where their files can give them (grouped by file, which
// says which cannot be pasted); for each key its index in clip.records or kNoClipRecord.
std::vector<std::size_t> CarryRecords(const BoardDocument& document, const ClipKeys& keys,
                                      DrawingClip& clip) {
    std::vector<RecordEdit> edits;
    std::map<const DocumentSource*, std::vector<std::size_t>> byFile;
    for (const std::uint32_t key : keys.keys) {
        RecordEdit edit = EditOfKey(*document.DrawingModel(), key);
        if (!edit.from) {
            edit.from = document.Source();
            edit.fromUnderlay = document.BaseUnderlay();
        }
        edit.erased = false;
        byFile[edit.from.get()].push_back(edits.size());
        edits.push_back(std::move(edit));
    }
    std::vector<std::string> refusals(edits.size());
    for (const auto& [file, indexes] : byFile) {
        const bool sameForm =
            file != nullptr && !clip.recordForm.empty() && file->RecordForm() == clip.recordForm;
        std::vector<std::uint32_t> records;
        for (const std::size_t i : indexes) records.push_back(edits[i].source);
        const std::vector<std::string> said =
            sameForm ? file->PasteRefusals(records) : std::vector<std::string>(records.size(), "-");
        for (std::size_t k = 0; k < indexes.size(); ++k) refusals[indexes[k]] = said[k];
    }
    std::vector<std::size_t> carried(edits.size(), kNoClipRecord);
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const DocumentSource* file = edits[i].from.get();
        const std::string kind = file != nullptr ? file->RecordKind(edits[i].source) : "";
        const std::string name = kind.empty() ? "?" : kind;
        if (keys.beneath[i]) ++clip.beneathKinds[name];
        if (!refusals[i].empty()) {
            if (keys.beneath[i]) ++clip.refusedKinds[name];
            continue;
        }
        carried[i] = clip.records.size();
        ClipRecord record{std::move(edits[i]), {}};
        if (record.edit.layer) {
            record.layerName = LayerName(document, *record.edit.layer);
            NoteColour(document, *record.edit.layer, clip);
        }
        clip.records.push_back(std::move(record));
    }
    return carried;
}

}  // namespace

double MillimetresPerUnit(const BoardDocument& document, std::int32_t layer) {
    if (document.Source()) {
        if (const auto real = document.Source()->RealPerPaper(layer)) return *real;
    }
    const UnitDefinition* unit = FindUnit(document.UnitCode());
    return unit != nullptr ? unit->millimetres : 1.0;
}

DrawingClip ClipSelection(const BoardDocument& document, const Selection& selection, Vec2 base) {
    DrawingClip clip;
    const BoardDrawing& drawing = *document.DrawingModel();
    if (document.Source()) clip.recordForm = document.Source()->RecordForm();
    ClipKeys keys;
    std::vector<std::size_t> keyOfEntity;
    clip.entities.reserve(selection.entities.size());
    for (const std::size_t i : selection.entities) {
        if (i >= drawing.Count() || drawing.IsErased(i)) continue;
        const EntityData& e = drawing.Entities()[i];
        clip.entities.push_back(Scaled(e, MillimetresPerUnit(document, e.layer)));
        clip.layerNames.push_back(LayerName(document, e.layer));
        NoteColour(document, e.layer, clip);
        const std::uint32_t key = RecordKeyOfEntity(document, i);
        keyOfEntity.push_back(key == kNoRecordKey ? kNoClipRecord : keys.Add(key, false));
    }
    for (const std::uint32_t key : selection.records) (void)keys.Add(key, true);
    const std::vector<std::size_t> carried = CarryRecords(document, keys, clip);
    for (const std::size_t k : keyOfEntity)
        clip.entityRecord.push_back(k == kNoClipRecord ? kNoClipRecord : carried[k]);
    const double millimetres =
        MillimetresPerUnit(document, document.CurrentAttributesModel()->Layer());
    if (document.UnderlayModel() && !selection.records.empty()) {
        const std::unordered_set<std::uint32_t> beneath(selection.records.begin(),
                                                        selection.records.end());
        for (const UnderlayItem& item : document.UnderlayModel()->items) {
            if (!beneath.contains(item.record)) continue;
            const Box box{millimetres * item.box.min, millimetres * item.box.max};
            clip.beneathBox = UnionOf(clip.beneathBox, box);
        }
    }
    clip.base = millimetres * base;
    clip.recordBase = base;
    clip.recordMillimetres = millimetres;
    clip.leftBehind = selection.records.size();
    return clip;
}

namespace {

// One paste being put together.
struct PasteJob {
    BoardDocument& document;
    const DrawingClip& clip;
    Vec2 at;
    PasteLayer layers;
    PasteResult result;
    EditStep step;
    std::unordered_map<std::string, std::int32_t> layerOf;
    std::map<std::string, std::size_t> refusedHere;  // by the placement into this drawing's units

    std::int32_t LayerOf(const std::string& name) {
        if (layers == PasteLayer::Current) return document.CurrentAttributesModel()->Layer();
        const auto found = layerOf.find(name);
        if (found != layerOf.end()) return found->second;
        const auto colour = clip.layerColours.find(name);
        const std::optional<Rgb> given =
            colour != clip.layerColours.end() ? std::optional(colour->second) : std::nullopt;
        return layerOf.emplace(name, LayerForName(document, name, given, result.madeLayers))
            .first->second;
    }

    // Entity k of the clip, relative to the reference point in millimetres, then into the
    // units of its layer here, at `at`.
    void AddEntity(std::size_t k, std::uint32_t key) {
        const std::int32_t layer = LayerOf(clip.layerNames[k]);
        EntityData e = clip.entities[k];
        e.start = e.start - clip.base;
        e.end = e.end - clip.base;
        e.center = e.center - clip.base;
        e = Scaled(e, 1.0 / MillimetresPerUnit(document, layer));
        MoveEntity(e, at);
        e.layer = layer;
        step.added.push_back(e);
        step.addedRecords.push_back(key);
    }

    // The clip's records as copies of other files' records, scaled into this drawing's units
    // about the reference point and moved to `at`, with the entities that draw them.
    void AddRecords(BoardDrawing& drawing) {
        std::vector<std::vector<std::size_t>> drawnBy(clip.records.size());
        for (std::size_t k = 0; k < clip.entityRecord.size(); ++k) {
            if (clip.entityRecord[k] != kNoClipRecord) drawnBy[clip.entityRecord[k]].push_back(k);
        }
        RecordPlacement placement{clip.recordBase, 0.0, at - clip.recordBase};
        placement.factor = clip.recordMillimetres / MillimetresPerUnit(document, 0);
        for (std::size_t r = 0; r < clip.records.size(); ++r) {
            const std::uint32_t key = drawing.NewCopyKey();
            RecordEdit edit = clip.records[r].edit;
            // A kind that does not scale (a table) stays behind when the units differ, and one
            // that needs what this drawing lacks (a table its style).
            if (edit.from &&
                (!edit.from->PlacementRefusalFor(edit.source, placement).empty() ||
                 !document.Source()->PasteRefusalFrom(*edit.from, edit.source).empty())) {
                ++refusedHere[edit.from->RecordKind(edit.source)];
                continue;
            }
            edit.placements.push_back(placement);
            edit.layer = std::nullopt;
            if (layers == PasteLayer::Current || !clip.records[r].layerName.empty())
                edit.layer = LayerOf(clip.records[r].layerName);
            step.records.push_back({key, std::nullopt, std::move(edit)});
            for (const std::size_t k : drawnBy[r]) AddEntity(k, key);
            if (drawnBy[r].empty()) result.pasted.records.push_back(key);
        }
    }
};

std::string KindsText(const std::map<std::string, std::size_t>& kinds) {
    std::string text;
    for (const auto& [kind, count] : kinds) {
        text += (text.empty() ? "" : "、") + kind + " " + std::to_string(count);
    }
    return text;
}

}  // namespace

PasteResult PasteClip(BoardDocument& document, const DrawingClip& clip, Vec2 at,
                      PasteLayer layers) {
    if (clip.Empty()) throw HostError("貼り付ける図形がありません");
    if (!IsFinite(at)) throw HostError("貼り付けの位置が正しくありません");
    BoardDrawing& drawing = *document.DrawingModel();
    const bool whole = !clip.records.empty() && document.Source() &&
                       document.Source()->RecordForm() == clip.recordForm;
    PasteJob job{document, clip, at, layers, {}, {}, {}, {}};
    for (std::size_t k = 0; k < clip.entities.size(); ++k) {
        if (!whole || clip.entityRecord[k] == kNoClipRecord) job.AddEntity(k, kNoRecordKey);
    }
    if (whole) job.AddRecords(drawing);
    job.result.leftKinds = whole ? clip.refusedKinds : clip.beneathKinds;
    for (const auto& [kind, count] : job.refusedHere) job.result.leftKinds[kind] += count;
    for (const auto& [kind, count] : job.result.leftKinds) job.result.leftBehind += count;
    if (job.step.Empty()) {
        throw HostError("貼り付けられる図形がありません (" + KindsText(job.result.leftKinds) +
                        " はこの図面へは貼り付けられません)");
    }
    const std::size_t first = drawing.Count();
    const std::size_t added = job.step.added.size();
    drawing.Apply(kPasteTitle, std::move(job.step));
    for (std::size_t i = 0; i < added; ++i) job.result.pasted.entities.push_back(first + i);
    std::sort(job.result.pasted.records.begin(), job.result.pasted.records.end());
    return job.result;
}

std::string PasteReport(const PasteResult& result) {
    const std::size_t count = result.pasted.entities.size() + result.pasted.records.size();
    std::string text = std::to_string(count) + " 個の図形を貼り付けました";
    if (!result.madeLayers.empty()) {
        text += " (レイヤ";
        for (const std::string& name : result.madeLayers) text += " 「" + name + "」";
        text += " を作りました)";
    }
    if (result.leftBehind > 0) {
        text += "、" +
                (result.leftKinds.empty() ? std::to_string(result.leftBehind) + " 個"
                                          : KindsText(result.leftKinds)) +
                " はこの図面へは貼り付けられません";
    }
    return text;
}

}  // namespace pelimator::board
