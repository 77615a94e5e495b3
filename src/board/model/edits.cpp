// The edit operations: one EditStep built whole, checked, then applied.
#include "board/model/edits.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "host/errors.h"

namespace pelimator::board {

namespace {

Vec2 Turn(const RecordPlacement& placement, Vec2 v) noexcept {
    double degrees = std::fmod(placement.degrees, 360.0);
    if (degrees < 0.0) degrees += 360.0;
    // Quarter turns are exact: a drafter's 90 degrees must not leave 6e-17 behind.
    if (degrees == 0.0) return v;
    if (degrees == 90.0) return {-v.y, v.x};
    if (degrees == 180.0) return {-v.x, -v.y};
    if (degrees == 270.0) return {v.y, -v.x};
    const double radians = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {c * v.x - s * v.y, s * v.x + c * v.y};
}

}  // namespace

Vec2 PlaceDirection(const RecordPlacement& placement, Vec2 v) noexcept {
    if (placement.mirror) v.y = -v.y;
    if (placement.factor != 1.0) v = v * placement.factor;
    return Turn(placement, v);
}

double PlaceAngle(const RecordPlacement& placement, double degrees) noexcept {
    return (placement.mirror ? -degrees : degrees) + placement.degrees;
}

Vec2 PlacePoint(const RecordPlacement& placement, Vec2 p) noexcept {
    if (placement.degrees == 0.0 && IsRigidTurn(placement)) return p + placement.delta;
    return placement.pivot + PlaceDirection(placement, p - placement.pivot) + placement.delta;
}

namespace {

// The entities of the drawing that draw record key (a file's polyline: its segments).
std::vector<std::size_t> EntitiesOfRecord(const BoardDocument& document, std::uint32_t key) {
    std::vector<std::size_t> out;
    const BoardDrawing& drawing = *document.DrawingModel();
    if (!IsCopyKey(key)) {
        if (!document.Source()) return out;
        const auto records = document.Source()->EntityRecords();
        const auto [first, last] = std::equal_range(records.begin(), records.end(), key);
        for (auto it = first; it != last; ++it) {
            const auto i = static_cast<std::size_t>(it - records.begin());
            if (i < drawing.Count() && drawing.RecordKeyOf(i) == kNoRecordKey) out.push_back(i);
        }
        return out;
    }
    const auto keys = drawing.RecordKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key) out.push_back(i);
    }
    return out;
}

// What a step does to the selection: the board's own entities, and the records with every
// entity that draws them.
struct Targets {
    std::vector<std::size_t> own;
    std::vector<std::uint32_t> records;  // in first-seen order
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> entitiesOf;
};

Targets TargetsOf(const BoardDocument& document, const Selection& selection) {
    Targets t;
    for (const std::size_t i : selection.entities) {
        const std::uint32_t key = RecordKeyOfEntity(document, i);
        if (key == kNoRecordKey) {
            t.own.push_back(i);
        } else if (!t.entitiesOf.contains(key)) {
            t.records.push_back(key);
            t.entitiesOf[key];
        }
    }
    for (const std::uint32_t key : selection.records) {
        if (!t.entitiesOf.contains(key)) {
            t.records.push_back(key);
            t.entitiesOf[key];
        }
    }
    for (const std::uint32_t key : t.records) {
        std::vector<std::size_t>& entities = t.entitiesOf[key];
        // Selected entities of a record are its shown entities; look them all up once (few).
        entities = EntitiesOfRecord(document, key);
        const BoardDrawing& drawing = *document.DrawingModel();
        std::erase_if(entities, [&](std::size_t i) { return drawing.IsErased(i); });
    }
    return t;
}

[[nodiscard]] RecordEdit CurrentEdit(const BoardDrawing& drawing, std::uint32_t key) {
    const auto& edits = drawing.RecordEdits();
    if (const auto found = edits.find(key); found != edits.end()) return found->second;
    RecordEdit edit;
    edit.source = key;
    return edit;
}

[[nodiscard]] std::optional<RecordEdit> StoredEdit(const BoardDrawing& drawing, std::uint32_t key) {
    const auto& edits = drawing.RecordEdits();
    if (const auto found = edits.find(key); found != edits.end()) return found->second;
    return std::nullopt;
}

// The file whose record an edit names: another drawing's for a pasted record.
const DocumentSource& FileOf(const BoardDocument& document, const RecordEdit& edit) {
    return edit.from ? *edit.from : *document.Source();
}

void CheckPlaceable(const BoardDocument& document, const Targets& targets) {
    if (!document.Source() || targets.records.empty()) return;
    // Once, not per record: it asks the file system.
    if (std::string damage = document.Source()->Damage(); !damage.empty()) {
        throw HostError(damage);
    }
    for (const std::uint32_t key : targets.records) {
        const RecordEdit edit = CurrentEdit(*document.DrawingModel(), key);
        const std::string refusal = FileOf(document, edit).PlacementRefusal(edit.source);
        if (!refusal.empty()) throw HostError(refusal);
    }
}

void Place(EntityData& e, const RecordPlacement& placement) {
    if (placement.degrees != 0.0 || !IsRigidTurn(placement)) {
        e.start = PlacePoint(placement, e.start);
        e.end = PlacePoint(placement, e.end);
        e.center = PlacePoint(placement, e.center);
        e.radius *= std::abs(placement.factor);
        // A mirrored arc runs the other way: counter-clockwise from its old end.
        if (placement.mirror && e.kind == EntityKind::Arc) std::swap(e.start, e.end);
    } else {
        MoveEntity(e, placement.delta);
    }
}

// Move or rotate: every target placed in place.
Selection PlaceSelection(BoardDocument& document, const Selection& selection,
                         const RecordPlacement& placement, const char* title) {
    BoardDrawing& drawing = *document.DrawingModel();
    const Targets targets = TargetsOf(document, selection);
    CheckPlaceable(document, targets);
    EditStep step;
    const auto change = [&](std::size_t i) {
        EntityChange c{i, drawing.Entities()[i], drawing.Entities()[i], false, false};
        Place(c.after, placement);
        step.changes.push_back(c);
    };
    step.changes.reserve(selection.entities.size());
    for (const std::size_t i : targets.own) change(i);
    for (const std::uint32_t key : targets.records) {
        for (const std::size_t i : targets.entitiesOf.at(key)) change(i);
        RecordEdit after = CurrentEdit(drawing, key);
        after.placements.push_back(placement);
        step.records.push_back({key, StoredEdit(drawing, key), std::move(after)});
    }
    drawing.Apply(title, std::move(step));
    return selection;
}

}  // namespace

Selection EraseSelection(BoardDocument& document, const Selection& selection) {
    BoardDrawing& drawing = *document.DrawingModel();
    const Targets targets = TargetsOf(document, selection);
    EditStep step;
    step.changes.reserve(selection.entities.size());
    const auto erase = [&](std::size_t i) {
        EntityChange c{i, drawing.Entities()[i], drawing.Entities()[i], false, true};
        c.after.visible = false;  // hidden as well: painters and snapping pass it over
        step.changes.push_back(c);
    };
    for (const std::size_t i : targets.own) erase(i);
    for (const std::uint32_t key : targets.records) {
        for (const std::size_t i : targets.entitiesOf.at(key)) erase(i);
        RecordEdit after = CurrentEdit(drawing, key);
        after.erased = true;
        step.records.push_back({key, StoredEdit(drawing, key), std::move(after)});
    }
    drawing.Apply(kEraseTitle, std::move(step));
    return {};
}

Selection MoveSelection(BoardDocument& document, const Selection& selection, Vec2 delta) {
    return PlaceSelection(document, selection, RecordPlacement{{}, 0.0, delta}, kMoveTitle);
}

Selection RotateSelection(BoardDocument& document, const Selection& selection, Vec2 pivot,
                          double degrees) {
    if (!std::isfinite(degrees) || !IsFinite(pivot)) {
        throw HostError("回転の角度または中心が正しくありません");
    }
    return PlaceSelection(document, selection, RecordPlacement{pivot, degrees, {}}, kRotateTitle);
}

Selection MirrorSelection(BoardDocument& document, const Selection& selection, Vec2 first,
                          Vec2 second) {
    const Vec2 along = second - first;
    if (!IsFinite(first) || !IsFinite(second) || (along.x == 0.0 && along.y == 0.0)) {
        throw HostError("鏡像の軸は異なる 2 点で指定してください");
    }
    // Reflecting in the line at angle a is reflecting in x, then turning by 2a; an axis along x
    // or y gives an exact 0 or 180.
    double twice = 0.0;
    if (along.y == 0.0) {
        twice = 0.0;
    } else if (along.x == 0.0) {
        twice = 180.0;
    } else {
        twice = 2.0 * std::atan2(along.y, along.x) * 180.0 / std::numbers::pi;
    }
    RecordPlacement placement{first, twice, {}};
    placement.mirror = true;
    return PlaceSelection(document, selection, placement, kMirrorTitle);
}

Selection ScaleSelection(BoardDocument& document, const Selection& selection, Vec2 base,
                         double factor) {
    if (!std::isfinite(factor) || factor <= 0.0 || !IsFinite(base)) {
        throw HostError("倍率は正の数で指定してください");
    }
    RecordPlacement placement{base, 0.0, {}};
    placement.factor = factor;
    return PlaceSelection(document, selection, placement, kScaleTitle);
}

Selection CopySelection(BoardDocument& document, const Selection& selection, Vec2 delta) {
    BoardDrawing& drawing = *document.DrawingModel();
    const Targets targets = TargetsOf(document, selection);
    CheckPlaceable(document, targets);
    for (const std::uint32_t key : targets.records) {
        const RecordEdit edit = CurrentEdit(drawing, key);
        if (std::string refusal = FileOf(document, edit).CopyRefusal(edit.source);
            !refusal.empty()) {
            throw HostError(refusal);
        }
    }
    const RecordPlacement placement{{}, 0.0, delta};
    EditStep step;
    const std::size_t firstNew = drawing.Count();
    const auto add = [&](std::size_t i, std::uint32_t key) {
        EntityData e = drawing.Entities()[i];
        Place(e, placement);
        step.added.push_back(e);
        step.addedRecords.push_back(key);
    };
    for (const std::size_t i : targets.own) add(i, kNoRecordKey);
    Selection copies;
    for (const std::uint32_t key : targets.records) {
        const std::uint32_t copyKey = drawing.NewCopyKey();
        RecordEdit copy = CurrentEdit(drawing, key);
        copy.erased = false;
        copy.placements.push_back(placement);
        step.records.push_back({copyKey, std::nullopt, std::move(copy)});
        const auto& entities = targets.entitiesOf.at(key);
        for (const std::size_t i : entities) add(i, copyKey);
        if (entities.empty()) copies.records.push_back(copyKey);
    }
    const std::size_t added = step.added.size();
    drawing.Apply(kCopyTitle, std::move(step));
    for (std::size_t i = 0; i < added; ++i) copies.entities.push_back(firstNew + i);
    std::sort(copies.records.begin(), copies.records.end());
    return copies;
}

Selection ChangeLayerOfSelection(BoardDocument& document, const Selection& selection,
                                 std::int32_t layer) {
    if (document.LayerTable()->Find(layer) == nullptr) {
        throw HostError("レイヤ " + std::to_string(layer) + " はありません");
    }
    BoardDrawing& drawing = *document.DrawingModel();
    const Targets targets = TargetsOf(document, selection);
    EditStep step;
    const auto change = [&](std::size_t i) {
        EntityChange c{i, drawing.Entities()[i], drawing.Entities()[i], false, false};
        c.after.layer = layer;
        step.changes.push_back(c);
    };
    for (const std::size_t i : targets.own) change(i);
    for (const std::uint32_t key : targets.records) {
        for (const std::size_t i : targets.entitiesOf.at(key)) change(i);
        RecordEdit after = CurrentEdit(drawing, key);
        after.layer = layer;
        step.records.push_back({key, StoredEdit(drawing, key), std::move(after)});
    }
    drawing.Apply(kLayerTitle, std::move(step));
    return selection;
}

}  // namespace pelimator::board
