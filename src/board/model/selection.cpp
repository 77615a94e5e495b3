// Hit tests over the board's entities and the underlay's records.
#include "board/model/selection.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <map>
#include <numbers>
#include <utility>

namespace pelimator::board {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

[[nodiscard]] bool Inside(const Box& inner, const Box& outer) noexcept {
    return inner.min.x >= outer.min.x && inner.max.x <= outer.max.x && inner.min.y >= outer.min.y &&
           inner.max.y <= outer.max.y;
}

[[nodiscard]] bool PointIn(Vec2 p, const Box& box) noexcept {
    return p.x >= box.min.x && p.x <= box.max.x && p.y >= box.min.y && p.y <= box.max.y;
}

void Grow(Box& box, Vec2 p) noexcept {
    box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
    box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
}

// Whether the angle a (radians) lies on the arc's sweep.
[[nodiscard]] bool OnSweep(const ArcAngles& angles, double a) noexcept {
    double from = a - angles.start;
    from -= kTwoPi * std::floor(from / kTwoPi);
    return from <= angles.sweep;
}

// The box of the entity as drawn: a line's ends, an arc's ends and the axis points it passes.
[[nodiscard]] Box ExactBox(const EntityData& e) {
    Box box{e.start, e.start};
    switch (e.kind) {
        case EntityKind::Line:
            Grow(box, e.end);
            return box;
        case EntityKind::Arc:
            break;
    }
    const ArcAngles angles = AnglesOf(e);
    const double r = e.radius;
    const double end = angles.start + angles.sweep;
    box = Box{e.center + r * Vec2{std::cos(angles.start), std::sin(angles.start)},
              e.center + r * Vec2{std::cos(angles.start), std::sin(angles.start)}};
    Grow(box, e.center + r * Vec2{std::cos(end), std::sin(end)});
    const std::array<Vec2, 4> axes{{{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}}};
    for (std::size_t k = 0; k < 4; ++k) {
        const double angle = static_cast<double>(k) * std::numbers::pi / 2.0;
        if (OnSweep(angles, angle)) Grow(box, e.center + r * axes[k]);
    }
    return box;
}

[[nodiscard]] double EntityDistance(const EntityData& e, Vec2 p) {
    switch (e.kind) {
        case EntityKind::Line:
            return DistanceToSegment(p, e.start, e.end);
        case EntityKind::Arc:
            break;
    }
    const ArcAngles angles = AnglesOf(e);
    const Vec2 d = p - e.center;
    if (OnSweep(angles, std::atan2(d.y, d.x))) return std::abs(Length(d) - e.radius);
    const double end = angles.start + angles.sweep;
    const Vec2 a = e.center + e.radius * Vec2{std::cos(angles.start), std::sin(angles.start)};
    const Vec2 b = e.center + e.radius * Vec2{std::cos(end), std::sin(end)};
    return std::min(Distance(p, a), Distance(p, b));
}

// Whether segment a-b meets the box (touching counts).
[[nodiscard]] bool SegmentMeetsBox(Vec2 a, Vec2 b, const Box& box) noexcept {
    if (PointIn(a, box) || PointIn(b, box)) return true;
    // Liang-Barsky clipping of the parameter range [0, 1].
    double t0 = 0.0;
    double t1 = 1.0;
    const Vec2 d = b - a;
    const std::array<double, 4> p{-d.x, d.x, -d.y, d.y};
    const std::array<double, 4> q{a.x - box.min.x, box.max.x - a.x, a.y - box.min.y,
                                  box.max.y - a.y};
    for (std::size_t k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
    }
    return true;
}

[[nodiscard]] bool EntityCrosses(const EntityData& e, const Box& window) {
    const Box box = ExactBox(e);
    if (!BoxesOverlap(box, window)) return false;
    switch (e.kind) {
        case EntityKind::Line:
            return SegmentMeetsBox(e.start, e.end, window);
        case EntityKind::Arc:
            if (Inside(box, window)) return true;
            break;
    }
    const double size = std::max(window.max.x - window.min.x, window.max.y - window.min.y);
    const std::vector<Vec2> points = FlattenEntity(e, std::max(size * 1e-4, e.radius * 1e-6));
    for (std::size_t k = 1; k < points.size(); ++k) {
        if (SegmentMeetsBox(points[k - 1], points[k], window)) return true;
    }
    return false;
}

// Even-odd test of p against the rings of a fill.
[[nodiscard]] bool InsideFill(const Underlay& u, const UnderlayItem& item, Vec2 p) {
    bool inside = false;
    std::uint32_t ringBegin = 0;
    const std::uint32_t rings = item.rings == kNoUnderlayIndex ? 1 : item.ringCount;
    for (std::uint32_t r = 0; r < rings; ++r) {
        const std::uint32_t ringEnd =
            item.rings == kNoUnderlayIndex ? item.count : u.ringEnds[item.rings + r];
        for (std::uint32_t k = ringBegin; k < ringEnd; ++k) {
            const Vec2 a = u.points[item.first + k];
            const Vec2 b = u.points[item.first + (k + 1 < ringEnd ? k + 1 : ringBegin)];
            if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x)) {
                inside = !inside;
            }
        }
        ringBegin = ringEnd;
    }
    return inside;
}

// Calls visit(a, b) for each segment the item draws (a fill's ring edges too).
template <typename Visit>
void ForEachSegment(const Underlay& u, const UnderlayItem& item, Visit&& visit) {
    const Vec2* pts = u.points.data() + item.first;
    switch (item.kind) {
        case UnderlayKind::Polyline:
            for (std::uint32_t k = 1; k < item.count; ++k) visit(pts[k - 1], pts[k]);
            if (item.closed && item.count > 2) visit(pts[item.count - 1], pts[0]);
            break;
        case UnderlayKind::Segments:
            for (std::uint32_t k = 1; k < item.count; k += 2) visit(pts[k - 1], pts[k]);
            break;
        case UnderlayKind::Fill: {
            std::uint32_t ringBegin = 0;
            const std::uint32_t rings = item.rings == kNoUnderlayIndex ? 1 : item.ringCount;
            for (std::uint32_t r = 0; r < rings; ++r) {
                const std::uint32_t ringEnd =
                    item.rings == kNoUnderlayIndex ? item.count : u.ringEnds[item.rings + r];
                for (std::uint32_t k = ringBegin; k < ringEnd; ++k) {
                    visit(pts[k], pts[k + 1 < ringEnd ? k + 1 : ringBegin]);
                }
                ringBegin = ringEnd;
            }
            break;
        }
        case UnderlayKind::Text:
        case UnderlayKind::Point:
            break;
    }
}

// Whether p lies inside the parallelogram quad (either winding).
[[nodiscard]] bool InsideQuad(const std::array<Vec2, 4>& quad, Vec2 p) noexcept {
    int positive = 0;
    int negative = 0;
    for (std::size_t k = 0; k < quad.size(); ++k) {
        const Vec2 a = quad[k];
        const Vec2 b = quad[(k + 1) % quad.size()];
        const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        if (cross > 0.0) ++positive;
        if (cross < 0.0) ++negative;
    }
    return positive == 0 || negative == 0;
}

// How far p is from where a text's glyphs stand: 0 inside, else to the nearest side.
[[nodiscard]] double TextDistance(const std::array<Vec2, 4>& quad, Vec2 p) noexcept {
    if (InsideQuad(quad, p)) return 0.0;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < quad.size(); ++k) {
        best = std::min(best, DistanceToSegment(p, quad[k], quad[(k + 1) % quad.size()]));
    }
    return best;
}

[[nodiscard]] double ItemDistance(const Underlay& u, const UnderlayItem& item, Vec2 p) {
    if (item.kind == UnderlayKind::Text) return TextDistance(TextQuad(u.texts[item.text]), p);
    if (item.kind == UnderlayKind::Point) {
        return item.count > 0 ? Distance(p, u.points[item.first])
                              : std::numeric_limits<double>::infinity();
    }
    if (item.kind == UnderlayKind::Fill && InsideFill(u, item, p)) return 0.0;
    double best = std::numeric_limits<double>::infinity();
    ForEachSegment(u, item, [&](Vec2 a, Vec2 b) {
        best = std::min(best, DistanceToSegment(p, a, b) - 0.5 * item.width);
    });
    return std::max(best, 0.0);
}

[[nodiscard]] bool ItemCrosses(const Underlay& u, const UnderlayItem& item, const Box& window) {
    if (!BoxesOverlap(item.box, window)) return false;
    if (Inside(item.box, window)) return true;
    if (item.kind == UnderlayKind::Text) {
        const auto quad = TextQuad(u.texts[item.text]);
        if (InsideQuad(quad, window.min)) return true;
        for (std::size_t k = 0; k < quad.size(); ++k) {
            if (SegmentMeetsBox(quad[k], quad[(k + 1) % quad.size()], window)) return true;
        }
        return false;
    }
    if (item.kind == UnderlayKind::Fill && InsideFill(u, item, 0.5 * (window.min + window.max))) {
        return true;
    }
    bool meets = false;
    ForEachSegment(u, item,
                   [&](Vec2 a, Vec2 b) { meets = meets || SegmentMeetsBox(a, b, window); });
    return meets;
}

// Shown: not erased, visible, on a shown layer.
[[nodiscard]] bool EntityShown(const BoardDocument& document, std::size_t index) {
    const BoardDrawing& drawing = *document.DrawingModel();
    const EntityData& e = drawing.Entities()[index];
    return !drawing.IsErased(index) && e.visible && document.LayerTable()->IsShown(e.layer);
}

// The entities [first, last) that draw the same record as the entity at index (just index for
// the board's own).
[[nodiscard]] std::pair<std::size_t, std::size_t> RecordRun(const BoardDocument& document,
                                                            std::size_t index) {
    const std::uint32_t key = RecordKeyOfEntity(document, index);
    if (key == kNoRecordKey) return {index, index + 1};
    std::size_t first = index;
    while (first > 0 && RecordKeyOfEntity(document, first - 1) == key) --first;
    std::size_t last = index + 1;
    const std::size_t count = document.DrawingModel()->Count();
    while (last < count && RecordKeyOfEntity(document, last) == key) ++last;
    return {first, last};
}

// The items [first, last) of the underlay that draw the same record as item.
[[nodiscard]] std::pair<std::size_t, std::size_t> ItemRun(const Underlay& u, std::size_t item) {
    const std::uint32_t key = u.items[item].record;
    std::size_t first = item;
    while (first > 0 && u.items[first - 1].record == key) --first;
    std::size_t last = item + 1;
    while (last < u.items.size() && u.items[last].record == key) ++last;
    return {first, last};
}

template <typename T>
void SortUnique(std::vector<T>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

void AddRun(const BoardDocument& document, std::size_t index, Selection& out) {
    const auto [first, last] = RecordRun(document, index);
    for (std::size_t i = first; i < last; ++i) {
        if (EntityShown(document, i)) out.entities.push_back(i);
    }
}

[[nodiscard]] std::string EntityKindName(const BoardDocument& document, std::size_t index) {
    const std::uint32_t key = RecordKeyOfEntity(document, index);
    if (key != kNoRecordKey && document.Source()) {
        const auto& edits = document.DrawingModel()->RecordEdits();
        const auto found = edits.find(key);
        const std::uint32_t record = found != edits.end() ? found->second.source : key;
        std::string kind = document.Source()->RecordKind(record);
        if (!kind.empty()) return kind;
    }
    const EntityData& e = document.DrawingModel()->Entities()[index];
    switch (e.kind) {
        case EntityKind::Line:
            return "線";
        case EntityKind::Arc:
            return AnglesOf(e).sweep >= kTwoPi ? "円" : "円弧";
    }
    BadEntityKind(e.kind);
}

// As printf's "%.4g" would write it.
[[nodiscard]] std::string Number(double value) {
    std::array<char, 64> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 4);
    return {text.data(), written.ptr};
}

[[nodiscard]] std::string ColourText(Rgb c) {
    return '(' + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ')';
}

// The colour as the drawing names it, then its RGB: "1 (255, 0, 0)", "BYLAYER (r, g, b)" with
// the layer's colour; just the RGB when the drawing names it not.
[[nodiscard]] std::string ColourNameText(const std::string& name, const std::optional<Rgb>& own,
                                         const LayerData* layer) {
    const bool byLayer = name == "BYLAYER" || (name.empty() && !own);
    if (byLayer) {
        return layer != nullptr ? "BYLAYER " + ColourText(layer->colour) : "BYLAYER";
    }
    if (name.empty()) return ColourText(*own);
    return own ? name + ' ' + ColourText(*own) : name;
}

}  // namespace

Selection Union(const Selection& a, const Selection& b) {
    Selection out;
    std::set_union(a.entities.begin(), a.entities.end(), b.entities.begin(), b.entities.end(),
                   std::back_inserter(out.entities));
    std::set_union(a.records.begin(), a.records.end(), b.records.begin(), b.records.end(),
                   std::back_inserter(out.records));
    return out;
}

Selection SymmetricDifference(const Selection& a, const Selection& b) {
    Selection out;
    std::set_symmetric_difference(a.entities.begin(), a.entities.end(), b.entities.begin(),
                                  b.entities.end(), std::back_inserter(out.entities));
    std::set_symmetric_difference(a.records.begin(), a.records.end(), b.records.begin(),
                                  b.records.end(), std::back_inserter(out.records));
    return out;
}

Selection StillShown(const BoardDocument& document, const Selection& selection) {
    Selection out;
    const std::size_t count = document.DrawingModel()->Count();
    for (const std::size_t i : selection.entities) {
        if (i < count && EntityShown(document, i)) out.entities.push_back(i);
    }
    const UnderlayPtr& underlay = document.UnderlayModel();
    if (underlay && !selection.records.empty()) {
        std::vector<std::uint32_t> shown;
        for (const UnderlayItem& item : underlay->items) {
            if (document.LayerTable()->IsShown(item.layer)) shown.push_back(item.record);
        }
        SortUnique(shown);
        std::set_intersection(selection.records.begin(), selection.records.end(), shown.begin(),
                              shown.end(), std::back_inserter(out.records));
    }
    return out;
}

std::uint32_t RecordKeyOfEntity(const BoardDocument& document, std::size_t index) {
    const std::uint32_t key = document.DrawingModel()->RecordKeyOf(index);
    if (key != kNoRecordKey || !document.Source()) return key;
    const auto records = document.Source()->EntityRecords();
    return index < records.size() ? records[index] : kNoRecordKey;
}

std::optional<Selection> PickAt(const BoardDocument& document, Vec2 p, double radius) {
    if (!IsFinite(p) || !(radius > 0.0)) return std::nullopt;
    const Box area{{p.x - radius, p.y - radius}, {p.x + radius, p.y + radius}};
    const BoardDrawing& drawing = *document.DrawingModel();
    std::vector<std::size_t> near;
    drawing.EntitiesNear(area, near);
    std::optional<std::size_t> bestEntity;
    double best = radius;
    for (const std::size_t i : near) {
        if (!EntityShown(document, i)) continue;
        const double d = EntityDistance(drawing.Entities()[i], p);
        if (d <= best && (!bestEntity || d < best || i > *bestEntity)) {
            best = d;
            bestEntity = i;  // the later of equals: the one drawn on top
        }
    }
    std::optional<std::size_t> bestItem;
    if (const UnderlayPtr& u = document.UnderlayModel()) {
        const BoardLayers& layers = *document.LayerTable();
        u->QueryItems(area, [&](std::size_t i) {
            const UnderlayItem& item = u->items[i];
            if (item.record == kNoUnderlayIndex || !layers.IsShown(item.layer)) return;
            const double d = ItemDistance(*u, item, p);
            if (d < best || (d <= best && !bestEntity && !bestItem)) {
                best = d;
                bestItem = i;
            }
        });
    }
    Selection out;
    if (bestItem) {
        out.records.push_back(document.UnderlayModel()->items[*bestItem].record);
        return out;
    }
    if (!bestEntity) return std::nullopt;
    AddRun(document, *bestEntity, out);
    return out;
}

Selection PickInWindow(const BoardDocument& document, const Box& window, bool crossing) {
    Selection out;
    const BoardDrawing& drawing = *document.DrawingModel();
    std::vector<std::size_t> near;
    drawing.EntitiesNear(window, near);
    std::sort(near.begin(), near.end());
    const auto entities = drawing.Entities();
    for (const std::size_t i : near) {
        if (!EntityShown(document, i)) continue;
        const bool hit =
            crossing ? EntityCrosses(entities[i], window) : Inside(ExactBox(entities[i]), window);
        if (!hit) continue;
        const std::uint32_t key = RecordKeyOfEntity(document, i);
        const bool single =
            key == kNoRecordKey ||
            ((i == 0 || RecordKeyOfEntity(document, i - 1) != key) &&
             (i + 1 >= drawing.Count() || RecordKeyOfEntity(document, i + 1) != key));
        if (single) {
            out.entities.push_back(i);
            continue;
        }
        // A polyline: wholly inside only when every segment is.
        const auto [first, last] = RecordRun(document, i);
        bool all = true;
        for (std::size_t k = first; k < last && all && !crossing; ++k) {
            all = !EntityShown(document, k) || Inside(ExactBox(entities[k]), window);
        }
        if (all) AddRun(document, i, out);
    }
    if (const UnderlayPtr& u = document.UnderlayModel()) {
        const BoardLayers& layers = *document.LayerTable();
        std::vector<std::size_t> items;
        u->QueryItems(window, [&](std::size_t i) { items.push_back(i); });
        std::sort(items.begin(), items.end());
        for (const std::size_t i : items) {
            const UnderlayItem& item = u->items[i];
            if (item.record == kNoUnderlayIndex || !layers.IsShown(item.layer)) continue;
            if (crossing) {
                if (ItemCrosses(*u, item, window)) out.records.push_back(item.record);
                continue;
            }
            const auto [first, last] = ItemRun(*u, i);
            bool all = true;
            for (std::size_t k = first; k < last && all; ++k) {
                all = !layers.IsShown(u->items[k].layer) || Inside(u->items[k].box, window);
            }
            if (all) out.records.push_back(item.record);
        }
    }
    SortUnique(out.entities);
    SortUnique(out.records);
    return out;
}

Selection PickAll(const BoardDocument& document) {
    Selection out;
    const std::size_t count = document.DrawingModel()->Count();
    for (std::size_t i = 0; i < count; ++i) {
        if (EntityShown(document, i)) out.entities.push_back(i);
    }
    if (const UnderlayPtr& u = document.UnderlayModel()) {
        for (const UnderlayItem& item : u->items) {
            if (item.record != kNoUnderlayIndex && document.LayerTable()->IsShown(item.layer)) {
                out.records.push_back(item.record);
            }
        }
    }
    SortUnique(out.records);
    return out;
}

Selection WholeStepOf(const BoardDocument& document, const Selection& pick) {
    if (pick.entities.empty()) return pick;
    const std::size_t index = pick.entities.front();
    if (RecordKeyOfEntity(document, index) != kNoRecordKey) return pick;
    const auto range = document.DrawingModel()->StepRangeOf(index);
    if (!range) return pick;
    Selection out;
    for (std::size_t i = range->first; i < range->second; ++i) {
        if (EntityShown(document, i)) out.entities.push_back(i);
    }
    return out;
}

std::optional<Box> BoxOfSelection(const BoardDocument& document, const Selection& selection) {
    std::optional<Box> box;
    const BoardDrawing& drawing = *document.DrawingModel();
    for (const std::size_t i : selection.entities) {
        if (i >= drawing.Count()) continue;
        const Box b = ConservativeBox(drawing.Entities()[i]);
        if (IsFiniteBox(b)) box = UnionOf(box, b);
    }
    const UnderlayPtr& u = document.UnderlayModel();
    if (u && !selection.records.empty()) {
        for (const UnderlayItem& item : u->items) {
            if (std::binary_search(selection.records.begin(), selection.records.end(),
                                   item.record)) {
                box = UnionOf(box, item.box);
            }
        }
    }
    return box;
}

namespace {

// The record an entity or a record key stands for in the opened file (a copy: its original).
std::uint32_t SourceRecordOfKey(const BoardDrawing& drawing, std::uint32_t key) {
    const auto& edits = drawing.RecordEdits();
    const auto found = edits.find(key);
    return found != edits.end() ? found->second.source : key;
}

// "n 個選択: KIND count、...": things by kind, a record's entities counted once.
std::string CountText(const BoardDocument& document, const Selection& selection,
                      std::size_t& things) {
    const BoardDrawing& drawing = *document.DrawingModel();
    std::map<std::string, std::size_t> kinds;
    things = 0;
    std::uint32_t lastKey = kNoRecordKey;
    for (const std::size_t i : selection.entities) {
        const std::uint32_t key = RecordKeyOfEntity(document, i);
        if (key != kNoRecordKey && key == lastKey) continue;
        lastKey = key;
        ++kinds[EntityKindName(document, i)];
        ++things;
    }
    for (const std::uint32_t key : selection.records) {
        const std::uint32_t record = SourceRecordOfKey(drawing, key);
        std::string kind = document.Source() ? document.Source()->RecordKind(record) : "";
        ++kinds[kind.empty() ? std::string("図形") : kind];
        ++things;
    }
    std::string text = std::to_string(things) + " 個選択:";
    bool first = true;
    for (const auto& [kind, count] : kinds) {
        text += (first ? " " : "、") + kind + " " + std::to_string(count);
        first = false;
    }
    return text;
}

// Length, or radius and length, of the selected entities (one line's parts together); in paper
// and real size for a drawing in paper millimetres.
std::string MeasureText(const BoardDocument& document, const Selection& selection) {
    const BoardDrawing& drawing = *document.DrawingModel();
    double length = 0.0;
    for (const std::size_t k : selection.entities) {
        const EntityData& part = drawing.Entities()[k];
        switch (part.kind) {
            case EntityKind::Line:
                length += Distance(part.start, part.end);
                break;
            case EntityKind::Arc:
                length += part.radius * AnglesOf(part).sweep;
                break;
        }
    }
    const EntityData& e = drawing.Entities()[selection.entities.front()];
    const auto text = [&](double value) {
        std::string words = LengthOnLayerText(document, e.layer, value);
        return words.empty() ? Number(value) : words;
    };
    if (selection.entities.size() == 1 && e.kind == EntityKind::Arc) {
        std::string measure = "半径 " + text(e.radius);
        if (AnglesOf(e).sweep < kTwoPi) measure += "、長さ " + text(length);
        return measure;
    }
    return "長さ " + text(length);
}

// "  レイヤ name  色 colour  線種 name  measure" of the one thing selected.
std::string PropertiesText(const BoardDocument& document, const Selection& selection) {
    const BoardDrawing& drawing = *document.DrawingModel();
    std::int32_t layer = 0;
    std::optional<Rgb> own;
    std::string measure;
    DocumentSource::PenNames pen;  // Jw_cad's names, where the file gives them
    std::uint32_t record = kNoRecordKey;
    if (!selection.entities.empty()) {
        const std::size_t i = selection.entities.front();
        layer = drawing.Entities()[i].layer;
        if (document.Source()) {
            const auto colours = document.Source()->OwnColours();
            if (i < colours.size() && (colours[i] & kOwnColour) != 0) {
                own = UnpackRgb(colours[i]);
            }
        }
        record = RecordKeyOfEntity(document, i);
        measure = MeasureText(document, selection);
        if (document.Source()) pen = document.Source()->EntityPenNames(i);
    } else {
        record = selection.records.front();
        if (const UnderlayPtr& u = document.UnderlayModel()) {
            const auto item =
                std::find_if(u->items.begin(), u->items.end(),
                             [record](const UnderlayItem& it) { return it.record == record; });
            if (item != u->items.end()) {
                layer = item->layer;
                own = item->colour;
            }
        }
    }
    std::string linetype;
    if (record != kNoRecordKey && document.Source()) {
        const std::uint32_t source = SourceRecordOfKey(drawing, record);
        linetype = document.Source()->RecordLinetype(source);
        if (pen.colour.empty()) pen.colour = document.Source()->RecordColourName(source);
    }
    const LayerData* data = document.LayerTable()->Find(layer);
    const std::string layerName = data != nullptr ? data->name : std::to_string(layer);
    std::string text = "  レイヤ " + layerName + "  色 " + ColourNameText(pen.colour, own, data);
    if (linetype.empty()) linetype = pen.lineType;
    text += "  線種 " + (linetype.empty() ? std::string("BYLAYER") : linetype);
    if (!measure.empty()) text += "  " + measure;
    return text;
}

}  // namespace

std::string DescribeSelection(const BoardDocument& document, const Selection& selection) {
    if (selection.Empty()) return {};
    std::size_t things = 0;
    std::string text = CountText(document, selection, things);
    if (things == 1) text += PropertiesText(document, selection);
    return text;
}

}  // namespace pelimator::board
