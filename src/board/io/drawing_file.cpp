// Opening and saving board documents as DXF files.
#include "board/io/drawing_file.h"

#include "base/file.h"

namespace pelimator::board {

DrawingContent ContentOf(const BoardDocument& document) {
    DrawingContent content;
    const BoardLayers& layers = *document.LayerTable();
    content.layers.reserve(layers.Count());
    for (std::size_t i = 0; i < layers.Count(); ++i) content.layers.push_back(layers.At(i));
    const auto entities = document.DrawingModel()->Entities();
    content.entities.assign(entities.begin(), entities.end());
    content.scaleNumerator = document.ScaleModel()->Numerator();
    content.scaleDenominator = document.ScaleModel()->Denominator();
    return content;
}

void LoadContent(BoardDocument& document, const DrawingContent& content) {
    BoardDrawing& drawing = *document.DrawingModel();
    drawing.Clear();
    BoardLayers& layers = *document.LayerTable();
    layers.Reset();
    for (const LayerData& layer : content.layers) layers.Put(layer);
    document.CurrentAttributesModel()->SetLayer(0);
    document.ScaleModel()->SetNumerator(content.scaleNumerator);
    document.ScaleModel()->SetDenominator(content.scaleDenominator);
    if (!content.entities.empty()) {
        drawing.BeginEdit("開く");
        for (const EntityData& entity : content.entities) drawing.AddEntity(entity);
        drawing.EndEdit(true);
    }
    drawing.ClearHistory();
    drawing.MarkSaved();
}

OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path) {
    DxfReadResult read = ReadDxfFile(path);
    BoardDocumentPtr document = application.AddDocument(FileNameOf(path));
    try {
        LoadContent(*document, read.content);
    } catch (...) {
        application.RemoveDocument(static_cast<std::size_t>(application.IndexOf(document.get())));
        throw;
    }
    document->SetPath(path);
    return {document, std::move(read.report)};
}

void SaveDrawing(BoardDocument& document, const std::string& path) {
    WriteDxfFile(path, ContentOf(document));
    document.SetPath(path);
    document.SetName(FileNameOf(path));
    document.DrawingModel()->MarkSaved();
}

}  // namespace pelimator::board
