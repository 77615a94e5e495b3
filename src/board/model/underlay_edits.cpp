// Record edits carried over to the shown underlay.
#include "board/model/underlay_edits.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pelimator::board {

namespace {

// A mirrored text made to read forwards again: a baseline still running rightwards (or up) is
// kept, the text upright on it; one running leftwards is turned half round, the text anchored at
// its other end so that it covers the box it was mirrored to.
void ReadForwards(UnderlayText& text) {
    // Its writer's start is where the mirror put it, no longer where the run reads from.
    text.writerStart = false;
    const Vec2 x = text.xAxis;
    // A turn leaves 1e-16 where a quarter turn would leave 0: straight up counts as forwards.
    const double level = 1e-12 * (std::abs(x.x) + std::abs(x.y));
    if (x.x > level || (std::abs(x.x) <= level && x.y > 0.0)) {
        text.yAxis = -1.0 * text.yAxis;
        return;
    }
    text.xAxis = -1.0 * x;
    if (text.fitWidth > 0.0 && text.hAlign == 0) {
        text.origin = text.origin + text.fitWidth * x;
    } else if (text.hAlign != 1) {
        text.hAlign = text.hAlign == 0 ? 2 : 0;
    }
}

void PlaceText(const std::vector<RecordPlacement>& placements, UnderlayText& text) {
    for (const RecordPlacement& placement : placements) {
        text.origin = PlacePoint(placement, text.origin);
        text.xAxis = PlaceDirection(placement, text.xAxis);
        text.yAxis = PlaceDirection(placement, text.yAxis);
        if (placement.mirror) ReadForwards(text);
    }
}

// Appends item (of base) to out placed and relabelled; its points and text copied.
void AppendPlaced(const Underlay& base, const UnderlayItem& item, const RecordEdit& edit,
                  std::uint32_t key, const std::unordered_map<std::int32_t, Rgb>& layerColours,
                  Underlay& out) {
    UnderlayItem placed = item;
    placed.record = key;
    if (edit.layer) {
        placed.layer = *edit.layer;
        if (const auto colour = layerColours.find(*edit.layer);
            item.byLayer && colour != layerColours.end()) {
            placed.colour = colour->second;
        }
    }
    placed.first = static_cast<std::uint32_t>(out.points.size());
    for (std::uint32_t k = item.first; k < item.first + item.count; ++k) {
        Vec2 p = base.points[k];
        for (const RecordPlacement& placement : edit.placements) p = PlacePoint(placement, p);
        out.points.push_back(p);
    }
    if (item.kind == UnderlayKind::Text && item.text != kNoUnderlayIndex) {
        UnderlayText text = base.texts[item.text];
        PlaceText(edit.placements, text);
        placed.text = static_cast<std::uint32_t>(out.texts.size());
        out.texts.push_back(std::move(text));
    }
    if (item.rings != kNoUnderlayIndex) {
        placed.rings = static_cast<std::uint32_t>(out.ringEnds.size());
        out.ringEnds.insert(out.ringEnds.end(), base.ringEnds.begin() + item.rings,
                            base.ringEnds.begin() + item.rings + item.ringCount);
    }
    out.items.push_back(placed);
}

// Records pasted from other drawings, drawn as their own files draw them (with their dash
// patterns left solid: those index the other drawing's patterns).
void AppendPasted(const std::unordered_map<std::uint32_t, RecordEdit>& edits,
                  std::vector<std::uint32_t> keys,
                  const std::unordered_map<std::int32_t, Rgb>& layerColours, Underlay& out) {
    std::sort(keys.begin(), keys.end());
    std::unordered_map<const Underlay*, std::unordered_map<std::uint32_t, std::vector<std::size_t>>>
        itemsOf;
    for (const std::uint32_t key : keys) {
        const RecordEdit& paste = edits.at(key);
        if (!paste.fromUnderlay) continue;
        const Underlay& from = *paste.fromUnderlay;
        auto [found, made] = itemsOf.try_emplace(&from);
        if (made) {
            for (std::size_t i = 0; i < from.items.size(); ++i)
                found->second[from.items[i].record].push_back(i);
        }
        const auto items = found->second.find(paste.source);
        if (items == found->second.end()) continue;
        for (const std::size_t i : items->second) {
            AppendPlaced(from, from.items[i], paste, key, layerColours, out);
            out.items.back().dash = kNoUnderlayIndex;
        }
    }
}

}  // namespace

Underlay EditedUnderlay(const Underlay& base,
                        const std::unordered_map<std::uint32_t, RecordEdit>& edits,
                        const std::unordered_map<std::int32_t, Rgb>& layerColours) {
    Underlay out;
    out.dashes = base.dashes;
    out.dashNames = base.dashNames;
    out.fonts = base.fonts;
    out.paperSpace = base.paperSpace;
    out.dropped = base.dropped;
    out.items.reserve(base.items.size());
    out.points.reserve(base.points.size());
    // Copies, in key order, by the record they copy.
    std::vector<std::uint32_t> copyKeys;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> copiesOf;
    std::vector<std::uint32_t> pastedKeys;  // copies of another drawing's records
    for (const auto& [key, edit] : edits) {
        if (!IsCopyKey(key) || edit.erased) continue;
        (edit.from ? pastedKeys : copyKeys).push_back(key);
    }
    std::sort(copyKeys.begin(), copyKeys.end());
    for (const std::uint32_t key : copyKeys) copiesOf[edits.at(key).source].push_back(key);
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> copiedItems;
    for (std::size_t i = 0; i < base.items.size(); ++i) {
        const UnderlayItem& item = base.items[i];
        if (copiesOf.contains(item.record)) copiedItems[item.record].push_back(i);
        const auto found = edits.find(item.record);
        if (found == edits.end()) {
            UnderlayItem kept = item;
            kept.first = static_cast<std::uint32_t>(out.points.size());
            out.points.insert(out.points.end(), base.points.begin() + item.first,
                              base.points.begin() + item.first + item.count);
            if (item.text != kNoUnderlayIndex) {
                kept.text = static_cast<std::uint32_t>(out.texts.size());
                out.texts.push_back(base.texts[item.text]);
            }
            if (item.rings != kNoUnderlayIndex) {
                kept.rings = static_cast<std::uint32_t>(out.ringEnds.size());
                out.ringEnds.insert(out.ringEnds.end(), base.ringEnds.begin() + item.rings,
                                    base.ringEnds.begin() + item.rings + item.ringCount);
            }
            out.items.push_back(kept);
            continue;
        }
        if (!found->second.erased)
            AppendPlaced(base, item, found->second, item.record, layerColours, out);
    }
    for (const std::uint32_t key : copyKeys) {
        const RecordEdit& copy = edits.at(key);
        // A copy is made of its source as read (its placements include the source's own).
        for (const std::size_t i : copiedItems[copy.source]) {
            AppendPlaced(base, base.items[i], copy, key, layerColours, out);
        }
    }
    AppendPasted(edits, pastedKeys, layerColours, out);
    out.snapPoints.reserve(base.snapPoints.size());
    for (const UnderlayPoint& point : base.snapPoints) {
        const auto found = edits.find(point.record);
        if (found == edits.end()) {
            out.snapPoints.push_back(point);
        } else if (!found->second.erased) {
            UnderlayPoint placed = point;
            for (const RecordPlacement& p : found->second.placements) {
                placed.point = PlacePoint(p, placed.point);
            }
            if (found->second.layer) placed.layer = *found->second.layer;
            out.snapPoints.push_back(placed);
        }
        if (const auto copies = copiesOf.find(point.record); copies != copiesOf.end()) {
            for (const std::uint32_t key : copies->second) {
                const RecordEdit& copy = edits.at(key);
                UnderlayPoint placed = point;
                placed.record = key;
                for (const RecordPlacement& p : copy.placements) {
                    placed.point = PlacePoint(p, placed.point);
                }
                if (copy.layer) placed.layer = *copy.layer;
                out.snapPoints.push_back(placed);
            }
        }
    }
    out.Finish();
    return out;
}

}  // namespace pelimator::board
