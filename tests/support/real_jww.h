// The real Jw_cad drawings of the corpus opened on the board, one application each, for tests
// that check every one of them (they link the board's files library).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "support/real_corpus.h"

namespace pelimator::testing {

struct OpenedDrawing {
    std::filesystem::path file;
    std::shared_ptr<board::BoardApplication> application;
    board::BoardDocumentPtr document;
};

// Opens every real Jw_cad drawing and hands it to check, the file named in any failure; the
// test fails when there is none. Call it after PELIMATOR_REQUIRE_REAL_CORPUS().
inline void ForEachRealJww(const std::function<void(const OpenedDrawing&)>& check) {
    const auto files = RealDrawings("real-jww", ".jww");
    ASSERT_FALSE(files.empty()) << "no real Jw_cad drawings";
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        OpenedDrawing opened{file, board::BoardApplication::Create(), nullptr};
        opened.document = board::OpenDrawing(*opened.application, file.string()).document;
        check(opened);
    }
}

}  // namespace pelimator::testing
