// Helpers shared by the pattern tests: running a generator against the fake host and injecting a
// failure at every host call in turn.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"
#include "host/errors.h"

namespace pelimator::testing_support {

using Points = std::vector<std::pair<double, double>>;

// Runs generate(factory, path, drawing) once to count its host calls, then once per call k with
// a failure injected at k, on a drawing that already holds one committed line. Every run must
// end with HostError; a failure before the commit must leave the drawing exactly as it was with
// no edit step open. A failure of the final Redraw leaves the committed entities.
using Generate =
    std::function<void(host::HostFactory&, const host::HostPointList&, host::HostDrawing&)>;

inline void PrepareDrawing(fake::FakeFactory& factory, fake::FakeDrawing& drawing) {
    auto line = factory.CreateLine();
    line->SetLayer(3);
    line->StartPoint()->SetX(-1);
    drawing.BeginEdit("既存");
    drawing.Add(*line);
    drawing.EndEdit(true);
    factory.Log()->Clear();
}

inline void ExpectEveryInjectedFailureLeavesDrawingUnchanged(const Points& path,
                                                             const Generate& generate) {
    std::int64_t calls = 0;
    {
        fake::FakeFactory factory;
        auto drawing = factory.MakeDrawing();
        PrepareDrawing(factory, *drawing);
        auto list = factory.MakePointList(path);
        generate(factory, *list, *drawing);
        calls = factory.Log()->Count();
        ASSERT_EQ(factory.Log()->Calls().back(), "Drawing.Redraw(false)");
    }
    ASSERT_GT(calls, 0);
    for (std::int64_t k = 1; k <= calls; ++k) {
        SCOPED_TRACE("failure at call " + std::to_string(k));
        fake::FakeFactory factory;
        auto drawing = factory.MakeDrawing();
        PrepareDrawing(factory, *drawing);
        auto list = factory.MakePointList(path);
        const auto before = drawing->Snapshot();
        const auto stepsBefore = drawing->Steps();
        factory.Log()->FailAt(k);
        EXPECT_THROW(generate(factory, *list, *drawing), HostError);
        EXPECT_FALSE(drawing->EditOpen());
        if (k == calls) {  // Redraw, after the commit
            EXPECT_EQ(drawing->Steps().size(), stepsBefore.size() + 1);
        } else {
            EXPECT_EQ(drawing->Snapshot(), before);
            EXPECT_EQ(drawing->Steps(), stepsBefore);
            EXPECT_EQ(drawing->RedrawCount(), 0);
        }
        EXPECT_EQ(list->Peek(), path);  // the path is only read
    }
}

// Status texts and host calls in one sequence, so a test sees which text came before which call.
inline host::StatusSink LogSink(const fake::FakeFactory& factory) {
    return [log = factory.Log()](std::string_view text) {
        log->Record("Status(" + std::string(text) + ")");
    };
}

inline host::StatusSink CollectSink(std::vector<std::string>& texts) {
    return [&texts](std::string_view text) { texts.emplace_back(text); };
}

}  // namespace pelimator::testing_support
