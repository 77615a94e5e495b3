// Opening and saving board documents as drawing files, DXF or JWW.
#include "board/files/drawing_file.h"

#include "base/errors.h"
#include "base/file.h"
#include "base/file_bytes.h"
#include "board/convert/conversions.h"

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

// Why the file the document was read from can no longer back a save; "" when it can, or when
// there is none.
std::string SourceDamage(const BoardDocument& document) {
    return document.Source() ? document.Source()->Damage() : std::string();
}

// The state as a new drawing takes it: the entities and layers (copies of records as the lines
// and arcs they show), no edits of the file's records.
DrawingState WithoutRecords(DrawingState state) {
    state.recordKeys = {};
    state.recordEdits = nullptr;
    return state;
}

// What a converted copy leaves out: what the file showed beneath the board's entities.
void AddConversionLosses(const BoardDocument& document, const FileFormat& to,
                         std::vector<std::string>& losses) {
    if (document.Source() == nullptr) return;
    const FileFormat& from = FormatOfSource(document.Source().get());
    if (&from == &to) return;
    losses.insert(losses.begin(), std::string(to.ConversionKeeps()) +
                                      std::string(from.ConversionDrops()) + "は " +
                                      std::string(to.Name()) + " に残りません (元の " +
                                      std::string(from.Name()) + " ファイルはそのままです)");
}

}  // namespace

DrawingRead ReadDrawingFile(const std::string& path, const FormatReadOptions& options) {
    FileBytes bytes = MapWholeFile(path, kMaxWholeFileBytes);
    const FileFormat& format = FormatOfBytes(bytes, path);
    return format.Read(std::move(bytes), FileNameOf(path), options);
}

OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path,
                          const FormatReadOptions& options) {
    return AddReadDrawing(application, path, ReadDrawingFile(path, options));
}

OpenedDrawing AddReadDrawing(BoardApplication& application, const std::string& path,
                             DrawingRead&& read) {
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
    return {document, std::move(read.report), read.scaleStored};
}

const FileFormat& SaveFormat(const BoardDocument& document, const std::string& path) {
    const DocumentSource* source = document.Source().get();
    const FileFormat& own = FormatOfSource(source);
    // A converted copy saved again under its own name stays of that name's format: only the file
    // read keeps the source's format (a JWW saved as x.dxf, then saved over, is written as DXF).
    const bool fileRead = source == nullptr || source->FilePath().empty() ||
                          FileNameOf(source->FilePath()) == FileNameOf(path);
    if (!document.Path().empty() && path == document.Path() && fileRead) return own;
    const FileFormat* named = FormatOfExtension(path);
    return named != nullptr ? *named : own;
}

void SaveDrawing(BoardDocument& document, const std::string& path) {
    const StateOf state(document);
    const FileFormat& format = SaveFormat(document, path);
    const DocumentSource* source = document.Source().get();
    const std::string damage = SourceDamage(document);
    // The file read is gone: over it nothing is written (another program's save is there);
    // elsewhere, what the board holds goes into a new drawing.
    if (!damage.empty() && ReplaceTarget(path) == ReplaceTarget(source->FilePath())) {
        throw FileError(damage);
    }
    // Whether the file written holds every edit the drawing shows: else it stays modified.
    bool keptAll = true;
    const FormatConversion* conversion = damage.empty() && source != nullptr
                                             ? ConversionBetween(FormatOfSource(source), format)
                                             : nullptr;
    if (damage.empty() && source != nullptr && format.Owns(*source)) {
        format.Write(path, source, state.state);
        keptAll = format.KeepsEdits(*source, state.state);
    } else if (conversion != nullptr) {
        conversion->Write(path, *source, state.state, document.UnderlayModel().get());
    } else {
        // A new drawing or a converted copy: every entity is new to it, copies of records as
        // they show.
        format.Write(path, nullptr, WithoutRecords(state.state));
    }
    document.SetPath(path);
    document.SetName(FileNameOf(path));
    if (keptAll) document.DrawingModel()->MarkSaved();
}

std::vector<std::string> SaveLosses(const BoardDocument& document) {
    return SaveLosses(document, document.Path());
}

std::vector<std::string> SaveLosses(const BoardDocument& document, const std::string& path) {
    const StateOf state(document);
    const FileFormat& format = SaveFormat(document, path);
    const DocumentSource* source = document.Source().get();
    const DrawingState fresh = WithoutRecords(state.state);
    std::vector<std::string> losses;
    if (!SourceDamage(document).empty()) {
        losses = format.Losses(nullptr, fresh);
        losses.insert(losses.begin(),
                      "開いた後でほかのプログラムが元のファイルを書き換えたので、線と円弧とレイヤ"
                      "だけを新しい図面として保存します (文字・ブロックなど元のファイルから読んだ"
                      "ものは残りません)");
        return losses;
    }
    if (source != nullptr && format.Owns(*source)) {
        losses = format.Losses(source, state.state);
    } else if (const FormatConversion* conversion =
                   source != nullptr ? ConversionBetween(FormatOfSource(source), format)
                                     : nullptr) {
        losses = conversion->Losses(*source, state.state, document.UnderlayModel().get());
    } else {
        losses = format.Losses(nullptr, fresh);
        AddConversionLosses(document, format, losses);
    }
    return losses;
}

std::optional<std::size_t> SourceRecordOf(const BoardDocument& document, std::size_t entity) {
    return document.Source() ? document.Source()->RecordOf(entity) : std::nullopt;
}

}  // namespace pelimator::board
