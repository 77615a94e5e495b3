// A JWW save streamed to a file (in pieces, large runs of the read file written straight from
// it) is the very save made in memory, and reads back as the drawing it was made from.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/jww/jww_file.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::RealDrawings;
using pelimator::testing::TempDir;

// `count` new lines and arcs after the drawing's own entities, on layers across all groups:
// about 50 bytes each in the file, so 30000 pass the save's 1 MiB pieces.
std::vector<EntityData> WithNew(std::vector<EntityData> entities, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(i % 500);
        const double y = static_cast<double>(i / 500);
        const auto layer = static_cast<std::int32_t>(i % 256);
        entities.push_back(i % 3 == 0 ? MakeArc({x, y}, {x + 0.4, y}, {x, y + 0.4}, layer)
                                      : MakeLine({x, y}, {x + 0.7, y + 0.2}, layer));
    }
    return entities;
}

bool Near(Vec2 a, Vec2 b) {
    const double tolerance = 1e-9 * std::max({1.0, std::abs(a.x), std::abs(a.y)});
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance;
}

// Kind, layer and where it lies (the pen of a new entity is the file's default).
bool SameGeometry(const EntityData& a, const EntityData& b) {
    if (a.kind != b.kind || a.layer != b.layer || !Near(a.start, b.start) || !Near(a.end, b.end)) {
        return false;
    }
    switch (a.kind) {
        case EntityKind::Line:
            return true;
        case EntityKind::Arc:
            return Near(a.center, b.center) && std::abs(a.radius - b.radius) <= 1e-9;
    }
    return false;
}

// Saves the drawing with `added` new entities both ways and checks the file against the bytes
// and against what it was made from; returns the file's path.
std::string SaveBothWays(const JwwReadResult& read, std::size_t added, const std::string& path) {
    const std::vector<EntityData> entities = WithNew(read.content.entities, added);
    const DrawingState state{read.content.layers, entities};
    const std::string inMemory = SavedJwwBytes(*read.source, state);
    WriteJww(path, *read.source, state);
    EXPECT_TRUE(ReadBytes(path) == inMemory) << "file and memory differ, " << added << " added";
    const JwwReadResult back = ReadJwwFile(path);
    EXPECT_EQ(back.content.entities.size(), entities.size());
    for (std::size_t i = 0; i < std::min(entities.size(), back.content.entities.size()); ++i) {
        if (!SameGeometry(back.content.entities[i], entities[i])) {
            ADD_FAILURE() << "entity " << i << " of " << entities.size() << " reads back changed";
            break;
        }
    }
    return path;
}

TEST(JwwSave, StreamedToAFileItIsTheSaveInMemoryOnEveryRealDrawing) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    const auto files = RealDrawings("real-jww", ".jww");
    ASSERT_FALSE(files.empty());
    TempDir dir;
    for (const auto& file : files) {
        for (const std::size_t added : {std::size_t{0}, std::size_t{7}, std::size_t{30000}}) {
            SCOPED_TRACE(file.string() + ", " + std::to_string(added) + " added");
            SaveBothWays(ReadJwwFile(file.string()), added, dir.File("out.jww"));
        }
    }
}

// A drawing over 1 MiB: its entity list is written straight from the read file between pieces
// of the buffer (the count before, the new entities and the block definitions after).
TEST(JwwSave, ALargeReadFileStreamedIsTheSaveInMemory) {
    TempDir dir;
    const std::vector<LayerData> layers = JwwLayerTable(jww::Header{});
    const JwwReadResult empty = ReadJwwBytes(NewJwwBytes(layers, 20.0), "new.jww");
    const std::string big = SaveBothWays(empty, 40000, dir.File("big.jww"));
    const JwwReadResult read = ReadJwwFile(big);
    ASSERT_GT(read.source->bytes.size(), std::size_t{2} << 20U);
    for (const std::size_t added : {std::size_t{0}, std::size_t{5}, std::size_t{30000}}) {
        SCOPED_TRACE(std::to_string(added) + " added");
        SaveBothWays(read, added, dir.File("again.jww"));
    }
}

// A new drawing's layer states from the board's layers: a hidden layer hidden, the write layer
// the first shown one (it cannot be hidden), layer 0-0 when none is.
TEST(JwwSave, ANewDrawingKeepsItsHiddenLayersHidden) {
    struct Row {
        const char* name;
        std::vector<std::int32_t> hidden;  // the layers given hidden; the rest shown
        std::int32_t writing;
    };
    std::vector<std::int32_t> group0;
    std::vector<std::int32_t> all;
    for (std::int32_t n = 0; n < 256; ++n) (n < 16 ? group0 : all).push_back(n);
    all.insert(all.end(), group0.begin(), group0.end());
    const std::vector<Row> rows{
        {"all shown", {}, 0},
        {"one hidden", {0x12, 0xA3}, 0},
        {"layer 0-0 hidden", {0, 1}, 2},
        {"group 0 hidden", group0, 16},
        {"all hidden", all, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<LayerData> layers{{0, "0", {}, true}, {0x12, "1-2 壁", {}, true}};
        for (const std::int32_t n : row.hidden) {
            const auto it = std::ranges::find(layers, n, &LayerData::number);
            if (it != layers.end()) {
                it->visible = false;
            } else {
                layers.push_back({n, "", {}, false});
            }
        }
        const JwwReadResult read = ReadJwwBytes(NewJwwBytes(layers, 1.0), "new.jww");
        EXPECT_EQ(read.source->WriteLayer(), row.writing);
        const std::vector<LayerData> table = JwwLayerTable(read.source->header);
        for (std::int32_t n = 0; n < 256; ++n) {
            const bool hidden =
                n != row.writing && std::ranges::find(row.hidden, n) != row.hidden.end();
            EXPECT_EQ(table[static_cast<std::size_t>(n)].visible, !hidden) << "layer " << n;
        }
    }
}

}  // namespace
}  // namespace pelimator::board
