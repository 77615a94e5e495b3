// Runs the body of a generator inside one edit step that is discarded if the body fails.
#pragma once

#include <string>

#include "host/host.h"

namespace pelimator::detail {

// BeginEdit(title), body, EndEdit(true), Redraw(false). If body or the commit fails, the step is
// closed with EndEdit(false), so the drawing keeps nothing of it, and the error is rethrown; a
// failure of that EndEdit(false) is dropped in favour of the error that caused it.
template <typename Body>
void RunInEditStep(host::HostDrawing& drawing, const std::string& title, Body&& body) {
    drawing.BeginEdit(title);
    try {
        body();
        drawing.EndEdit(true);
    } catch (...) {
        try {
            drawing.EndEdit(false);
        } catch (...) {  // NOLINT(bugprone-empty-catch): the original error is the one to report
        }
        throw;
    }
    drawing.Redraw(false);
}

}  // namespace pelimator::detail
