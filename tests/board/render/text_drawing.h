// A drawing that holds one text of the underlay and nothing else, for the painter's tests.
#pragma once

#include <memory>
#include <utility>

#include "board/model/application.h"
#include "board/model/underlay.h"

namespace pelimator::board {

inline BoardDocumentPtr TextDrawing(BoardApplication& app, const UnderlayText& text) {
    auto document = app.AddDocument("文字");
    auto underlay = std::make_shared<Underlay>();
    UnderlayItem item;
    item.kind = UnderlayKind::Text;
    item.text = 0;
    underlay->texts.push_back(text);
    underlay->items.push_back(item);
    underlay->Finish();
    document->SetUnderlay(std::move(underlay));
    return document;
}

}  // namespace pelimator::board
