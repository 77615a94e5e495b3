// The clipboard between drawings.
#include "board/ui/drawing_clipboard.h"

#include <algorithm>
#include <memory>

namespace pelimator::board {

namespace {

struct KeptClip {
    std::weak_ptr<const BoardDocument> from;
    DrawingClip clip;
};

KeptClip& Kept() {
    static KeptClip kept;
    return kept;
}

double HereMillimetres(const BoardDocument& here) {
    return MillimetresPerUnit(here, here.CurrentAttributesModel()->Layer());
}

}  // namespace

void KeepForOtherDrawings(const BoardDocumentPtr& from, const Selection& selection, Vec2 base) {
    Kept() = {from, ClipSelection(*from, selection, base)};
}

bool ClipFromOtherDrawing(const BoardDocument& here) {
    const KeptClip& kept = Kept();
    return !kept.clip.Empty() && kept.from.lock().get() != &here;
}

Vec2 ClipBaseIn(const BoardDocument& here) {
    return (1.0 / HereMillimetres(here)) * Kept().clip.base;
}

std::optional<Box> ClipBoxIn(const BoardDocument& here) {
    const DrawingClip& clip = Kept().clip;
    if (clip.Empty()) return std::nullopt;
    Box box = clip.beneathBox.value_or(Box{{1e300, 1e300}, {-1e300, -1e300}});
    const auto grow = [&box](Vec2 p) {
        box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
        box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
    };
    for (const EntityData& e : clip.entities) {
        if (e.kind == EntityKind::Arc) {
            grow(e.center - Vec2{e.radius, e.radius});
            grow(e.center + Vec2{e.radius, e.radius});
        } else {
            grow(e.start);
            grow(e.end);
        }
    }
    if (box.min.x > box.max.x) return std::nullopt;
    const double k = 1.0 / HereMillimetres(here);
    return Box{k * box.min, k * box.max};
}

std::size_t KeptClipSize() { return Kept().clip.entities.size() + Kept().clip.records.size(); }

PasteResult PasteKeptClip(BoardDocument& here, Vec2 at) {
    return PasteClip(here, Kept().clip, at, PasteLayer::SameName);
}

}  // namespace pelimator::board
