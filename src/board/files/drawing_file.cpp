// Opening and saving board documents as DXF files.
#include "board/files/drawing_file.h"

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
    content.currentLayer = document.CurrentAttributesModel()->Layer();
    content.unitCode = document.UnitCode();
    return content;
}

void LoadContent(BoardDocument& document, const DrawingContent& content) {
    DrawingContent copy = content;
    LoadContent(document, std::move(copy));
}

void LoadContent(BoardDocument& document, DrawingContent&& content) {
    BoardDrawing& drawing = *document.DrawingModel();
    BoardLayers& layers = *document.LayerTable();
    layers.Reset();
    for (const LayerData& layer : content.layers) layers.Put(layer);
    document.CurrentAttributesModel()->SetLayer(content.currentLayer);
    document.ScaleModel()->SetNumerator(content.scaleNumerator);
    document.ScaleModel()->SetDenominator(content.scaleDenominator);
    document.SetUnitCode(content.unitCode);
    drawing.Load(std::move(content.entities));
    drawing.MarkSaved();
}

namespace {

const DxfSource& SourceOf(const BoardDocument& document) {
    const auto* source = dynamic_cast<const DxfSource*>(document.Source().get());
    return source != nullptr ? *source : *NewDrawingSource();
}

// The document as a save sees it; layers copied (few), entities viewed in place.
struct StateOf {
    explicit StateOf(const BoardDocument& document) {
        const BoardLayers& table = *document.LayerTable();
        layers.reserve(table.Count());
        for (std::size_t i = 0; i < table.Count(); ++i) layers.push_back(table.At(i));
        state.layers = layers;
        state.entities = document.DrawingModel()->Entities();
        state.scaleNumerator = document.ScaleModel()->Numerator();
        state.scaleDenominator = document.ScaleModel()->Denominator();
        state.currentLayer = document.CurrentAttributesModel()->Layer();
        state.unitCode = document.UnitCode();
        const BoardDrawing& drawing = *document.DrawingModel();
        state.erased = drawing.ErasedFlags();
        state.recordKeys = drawing.RecordKeys();
        state.recordEdits = &drawing.RecordEdits();
    }
    std::vector<LayerData> layers;
    DrawingState state;
};

}  // namespace

OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path,
                          const DxfReadOptions& options) {
    return AddReadDrawing(application, path, ReadDxfFile(path, options));
}

OpenedDrawing AddReadDrawing(BoardApplication& application, const std::string& path,
                             DxfReadResult&& read) {
    BoardDocumentPtr document = application.AddDocument(FileNameOf(path));
    try {
        LoadContent(*document, std::move(read.content));
    } catch (...) {
        application.RemoveDocument(static_cast<std::size_t>(application.IndexOf(document.get())));
        throw;
    }
    document->SetPath(path);
    document->SetSource(std::move(read.source));
    document->SetUnderlay(std::move(read.underlay));
    return {document, std::move(read.report)};
}

void SaveDrawing(BoardDocument& document, const std::string& path) {
    const StateOf state(document);
    WriteDxf(path, SourceOf(document), state.state);
    document.SetPath(path);
    document.SetName(FileNameOf(path));
    document.DrawingModel()->MarkSaved();
}

std::vector<std::string> SaveLosses(const BoardDocument& document) {
    const StateOf state(document);
    return DxfSaveLosses(SourceOf(document), state.state);
}

std::optional<std::size_t> SourceRecordOf(const BoardDocument& document, std::size_t entity) {
    const auto* source = dynamic_cast<const DxfSource*>(document.Source().get());
    if (source == nullptr || entity >= source->entityRecord.size()) return std::nullopt;
    return source->entityRecord[entity];
}

}  // namespace pelimator::board
