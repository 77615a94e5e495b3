// The edit operations: one EditStep built whole, checked, then applied.
#include "board/model/edits.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/errors.h"

namespace pelimator::board {

namespace {

// A placement's turn: a quarter turn exactly (a drafter's 90 degrees must not leave 6e-17
// behind), any other by its cosine and sine, worked out once for all the points of a step.
class TurnBy {
public:
    explicit TurnBy(double placementDegrees) noexcept
        : m_degrees(std::fmod(placementDegrees, 360.0)) {
        if (m_degrees < 0.0) m_degrees += 360.0;
        if (m_degrees == 0.0 || m_degrees == 90.0 || m_degrees == 180.0 || m_degrees == 270.0) {
            return;
        }
        const double radians = m_degrees * std::numbers::pi / 180.0;
        m_cos = std::cos(radians);
        m_sin = std::sin(radians);
    }
    Vec2 operator()(Vec2 v) const noexcept {
        if (m_degrees == 0.0) return v;
        if (m_degrees == 90.0) return {-v.y, v.x};
        if (m_degrees == 180.0) return {-v.x, -v.y};
        if (m_degrees == 270.0) return {v.y, -v.x};
        return {m_cos * v.x - m_sin * v.y, m_sin * v.x + m_cos * v.y};
    }

private:
    double m_degrees;
    double m_cos = 1.0;
    double m_sin = 0.0;
};

Vec2 PlaceDirectionBy(const RecordPlacement& placement, const TurnBy& turn, Vec2 v) noexcept {
    if (placement.mirror) v.y = -v.y;
    if (placement.factor != 1.0) v = v * placement.factor;
    return turn(v);
}

Vec2 PlacePointBy(const RecordPlacement& placement, const TurnBy& turn, Vec2 p) noexcept {
    if (placement.degrees == 0.0 && IsRigidTurn(placement)) return p + placement.delta;
    return placement.pivot + PlaceDirectionBy(placement, turn, p - placement.pivot) +
           placement.delta;
}

}  // namespace

Vec2 PlaceDirection(const RecordPlacement& placement, Vec2 v) noexcept {
    return PlaceDirectionBy(placement, TurnBy(placement.degrees), v);
}

double PlaceAngle(const RecordPlacement& placement, double degrees) noexcept {
    return (placement.mirror ? -degrees : degrees) + placement.degrees;
}

Vec2 PlacePoint(const RecordPlacement& placement, Vec2 p) noexcept {
    return PlacePointBy(placement, TurnBy(placement.degrees), p);
}

namespace {

// What a step does to the selection: the board's own entities, and the records with every
// entity that draws them (shown, not erased), record by record.
struct Targets {
    std::vector<std::size_t> own;
    std::vector<std::uint32_t> records;  // in first-seen order
    std::vector<std::size_t> entities;   // of records[0], then of records[1], ...
    std::vector<std::size_t> firstOf;    // where each record's entities start; one more at the end
    [[nodiscard]] std::span<const std::size_t> EntitiesOf(std::size_t k) const {
        return std::span(entities).subspan(firstOf[k], firstOf[k + 1] - firstOf[k]);
    }
};

// The entities of the drawing that draw each of t.records (a file's polyline: its segments),
// appended record by record. Copies are found in one pass over the drawing's keys.
void AddEntitiesOfRecords(const BoardDocument& document, Targets& t) {
    const BoardDrawing& drawing = *document.DrawingModel();
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> ofCopy;
    for (const std::uint32_t key : t.records) {
        if (IsCopyKey(key)) ofCopy[key];
    }
    if (!ofCopy.empty()) {
        const auto keys = drawing.RecordKeys();
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (const auto found = ofCopy.find(keys[i]); found != ofCopy.end()) {
                found->second.push_back(i);
            }
        }
    }
    const auto records =
        document.Source() ? document.Source()->EntityRecords() : std::span<const std::uint32_t>();
    t.firstOf.reserve(t.records.size() + 1);
    for (const std::uint32_t key : t.records) {
        t.firstOf.push_back(t.entities.size());
        if (IsCopyKey(key)) {
            t.entities.insert(t.entities.end(), ofCopy[key].begin(), ofCopy[key].end());
        } else {
            const auto [first, last] = std::equal_range(records.begin(), records.end(), key);
            for (auto it = first; it != last; ++it) {
                const auto i = static_cast<std::size_t>(it - records.begin());
                if (i < drawing.Count() && drawing.RecordKeyOf(i) == kNoRecordKey) {
                    t.entities.push_back(i);
                }
            }
        }
        // Selected entities of a record are its shown entities; erased ones are left alone.
        const auto from = t.entities.begin() + static_cast<std::ptrdiff_t>(t.firstOf.back());
        t.entities.erase(std::remove_if(from, t.entities.end(),
                                        [&](std::size_t i) { return drawing.IsErased(i); }),
                         t.entities.end());
    }
    t.firstOf.push_back(t.entities.size());
}

Targets TargetsOf(const BoardDocument& document, const Selection& selection) {
    Targets t;
    std::unordered_set<std::uint32_t> seen;
    seen.reserve(selection.entities.size() + selection.records.size());
    for (const std::size_t i : selection.entities) {
        const std::uint32_t key = RecordKeyOfEntity(document, i);
        if (key == kNoRecordKey) {
            t.own.push_back(i);
        } else if (seen.insert(key).second) {
            t.records.push_back(key);
        }
    }
    for (const std::uint32_t key : selection.records) {
        if (seen.insert(key).second) t.records.push_back(key);
    }
    t.entities.reserve(t.records.size());
    AddEntitiesOfRecords(document, t);
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

void CheckPlaceable(const BoardDocument& document, const Targets& targets,
                    const RecordPlacement& placement) {
    if (!document.Source() || targets.records.empty()) return;
    // Once, not per record: it asks the file system.
    if (std::string damage = document.Source()->Damage(); !damage.empty()) {
        throw HostError(damage);
    }
    for (const std::uint32_t key : targets.records) {
        const RecordEdit edit = CurrentEdit(*document.DrawingModel(), key);
        const std::string refusal =
            FileOf(document, edit).PlacementRefusalFor(edit.source, placement);
        if (!refusal.empty()) throw HostError(refusal);
    }
}

void Place(EntityData& e, const RecordPlacement& placement, const TurnBy& turn) {
    if (placement.degrees != 0.0 || !IsRigidTurn(placement)) {
        e.start = PlacePointBy(placement, turn, e.start);
        e.end = PlacePointBy(placement, turn, e.end);
        e.center = PlacePointBy(placement, turn, e.center);
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
    CheckPlaceable(document, targets, placement);
    EditStep step;
    const TurnBy turn(placement.degrees);
    const auto change = [&](std::size_t i) {
        EntityChange c{i, drawing.Entities()[i], drawing.Entities()[i], false, false};
        Place(c.after, placement, turn);
        step.changes.push_back(c);
    };
    step.changes.reserve(selection.entities.size());
    for (const std::size_t i : targets.own) change(i);
    for (std::size_t k = 0; k < targets.records.size(); ++k) {
        const std::uint32_t key = targets.records[k];
        RecordEdit after = CurrentEdit(drawing, key);
        // The record's own way of taking it (a table takes a mirror as a turn).
        const RecordPlacement own =
            document.Source()
                ? FileOf(document, after).PlacementOf(after.source, after.placements, placement)
                : placement;
        const TurnBy ownTurn(own.degrees);
        for (const std::size_t i : targets.EntitiesOf(k)) {
            EntityChange c{i, drawing.Entities()[i], drawing.Entities()[i], false, false};
            Place(c.after, own, ownTurn);
            step.changes.push_back(c);
        }
        after.placements.push_back(own);
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
    for (std::size_t k = 0; k < targets.records.size(); ++k) {
        const std::uint32_t key = targets.records[k];
        for (const std::size_t i : targets.EntitiesOf(k)) erase(i);
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
    CheckPlaceable(document, targets, RecordPlacement{{}, 0.0, delta});
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
    const TurnBy turn(placement.degrees);
    const auto add = [&](std::size_t i, std::uint32_t key) {
        EntityData e = drawing.Entities()[i];
        Place(e, placement, turn);
        step.added.push_back(e);
        step.addedRecords.push_back(key);
    };
    for (const std::size_t i : targets.own) add(i, kNoRecordKey);
    Selection copies;
    for (std::size_t k = 0; k < targets.records.size(); ++k) {
        const std::uint32_t key = targets.records[k];
        const std::uint32_t copyKey = drawing.NewCopyKey();
        RecordEdit copy = CurrentEdit(drawing, key);
        copy.erased = false;
        copy.placements.push_back(placement);
        step.records.push_back({copyKey, std::nullopt, std::move(copy)});
        const auto entities = targets.EntitiesOf(k);
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
    for (std::size_t k = 0; k < targets.records.size(); ++k) {
        const std::uint32_t key = targets.records[k];
        for (const std::size_t i : targets.EntitiesOf(k)) change(i);
        RecordEdit after = CurrentEdit(drawing, key);
        after.layer = layer;
        step.records.push_back({key, StoredEdit(drawing, key), std::move(after)});
    }
    drawing.Apply(kLayerTitle, std::move(step));
    return selection;
}

}  // namespace pelimator::board
