// The batch command on real Jw_cad drawings: the tool's sizes go into a JWW as paper millimetres,
// whatever the scale of the layer group a line goes onto.
#include <cmath>
#include <iostream>

#include <gtest/gtest.h>

#include "batch/batch_test_support.h"
#include "board/jww/jww_raw_reading.h"
#include "support/real_corpus.h"

namespace pelimator::batch {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;
using testing::RunCommand;
using testing::SettingsText;

// A default wave (5 mm pitch, radius 4 at 100 %) along a path 100 paper millimetres long, onto
// layer 1 of every group of every real drawing: about 20 arcs of radius 4 in the file, read by
// the test's own reading of the records, whatever the group's scale (1:1 to 1:200 here) and
// whatever --scale says.
TEST(BatchOnRealJww, DefaultWaveIsFiveMillimetresOnThePaperOnEveryGroup) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    WriteBytes(dir.File("p.txt"), "0 0\n100 0\n");
    std::size_t runs = 0;
    for (const auto& path : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        const std::string input = ReadBytes(path.string());
        board::rawjww::RawWalker before(input);
        before.Walk();
        for (int group = 0; group < 16; ++group) {
            SCOPED_TRACE(path.filename().string() + " group " + std::to_string(group));
            WriteBytes(dir.File("k.ini"), SettingsText(5, 4, 5, 3, 1, group * 16 + 1));
            const auto outcome =
                RunCommand({"--points", dir.File("p.txt"), "--settings", dir.File("k.ini"),
                            "--scale", "50", "-o", dir.File("out.jww"), path.string()},
                           dir.Path().string());
            ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
            // --scale has no say: the file's groups keep theirs and the sizes are the paper's.
            EXPECT_NE(outcome.err.find("(Jw_cad) の長さは用紙上の mm (図寸)"), std::string::npos)
                << outcome.err;
            const std::string output = ReadBytes(dir.File("out.jww"));
            board::rawjww::RawWalker after(output);
            after.Walk();
            const auto& arcs = after.Arcs();
            ASSERT_GE(arcs.size(), before.Arcs().size());
            const std::size_t added = arcs.size() - before.Arcs().size();
            EXPECT_GE(added, 19U);
            EXPECT_LE(added, 21U);
            for (std::size_t i = before.Arcs().size(); i < arcs.size(); ++i) {
                EXPECT_NEAR(arcs[i].radius, 4.0, 1e-9);
                EXPECT_EQ(arcs[i].group, group);
                EXPECT_EQ(arcs[i].layer, 1);
                EXPECT_LE(std::abs(arcs[i].cy), 4.0);
                EXPECT_GE(arcs[i].cx, -4.0);
                EXPECT_LE(arcs[i].cx, 104.0);
            }
            ++runs;
        }
    }
    std::cout << "waves drawn: " << runs << "\n";
}

}  // namespace
}  // namespace pelimator::batch
