// Opening and saving board documents as drawing files, DXF or JWW.
#include "board/files/drawing_file.h"

#include "base/errors.h"
#include "base/file.h"
#include "base/file_bytes.h"
#include "board/convert/dxf_to_jww.h"
#include "board/convert/jww_to_dxf.h"

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

const JwwSource* JwwSourceOf(const BoardDocument& document) {
    return dynamic_cast<const JwwSource*>(document.Source().get());
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

std::string LowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot);
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension;
}

// A new JWW drawing holding the layer names, at the document's scale.
std::shared_ptr<JwwSource> NewJwwSource(const DrawingState& state) {
    const double scale = static_cast<double>(state.scaleDenominator) / state.scaleNumerator;
    auto source = ReadJwwBytes(NewJwwBytes(state.layers, scale), "new.jww").source;
    source->converted = true;
    return source;
}

// The bytes of the file the document was read from; null for a new drawing.
const FileBytes* SourceBytes(const BoardDocument& document) {
    if (const auto* dxf = dynamic_cast<const DxfSource*>(document.Source().get())) {
        return &dxf->bytes;
    }
    if (const JwwSource* jww = JwwSourceOf(document)) return &jww->bytes;
    return nullptr;
}

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

}  // namespace

DrawingRead ReadDrawingFile(const std::string& path, const DxfReadOptions& options) {
    FileBytes bytes = MapWholeFile(path, kMaxWholeFileBytes);
    // A file too short to tell goes to the JWW reader when it starts as one or is named so: it
    // names the shortness, not a DXF group code.
    const bool cutJww = IsCutJwwBytes(bytes) ||
                        (bytes.size() < 12 && !bytes.empty() && LowerExtension(path) == ".jww");
    if (IsJwwBytes(bytes) || cutJww) {
        return ReadJwwBytes(std::move(bytes), FileNameOf(path),
                            {options.underlay, options.cancel, 0});
    }
    return ReadDxfBytes(std::move(bytes), FileNameOf(path), options);
}

OpenedDrawing OpenDrawing(BoardApplication& application, const std::string& path,
                          const DxfReadOptions& options) {
    return AddReadDrawing(application, path, ReadDrawingFile(path, options));
}

OpenedDrawing AddReadDrawing(BoardApplication& application, const std::string& path,
                             DrawingRead&& read) {
    OpenedDrawing opened;
    const auto add = [&](auto& result) {
        BoardDocumentPtr document = application.AddDocument(FileNameOf(path));
        try {
            LoadContent(*document, std::move(result.content));
        } catch (...) {
            application.RemoveDocument(
                static_cast<std::size_t>(application.IndexOf(document.get())));
            throw;
        }
        document->SetPath(path);
        document->SetSource(std::move(result.source));
        document->SetUnderlay(std::move(result.underlay));
        opened.document = document;
    };
    if (auto* jww = std::get_if<JwwReadResult>(&read)) {
        // A JWW drawing's current layer is its write layer; its unit is the millimetre.
        jww->content.currentLayer = jww->currentLayer;
        add(*jww);
        opened.jwwReport = std::move(jww->report);
    } else {
        auto& dxf = std::get<DxfReadResult>(read);
        add(dxf);
        opened.report = std::move(dxf.report);
    }
    return opened;
}

DrawingFormat SaveFormat(const BoardDocument& document, const std::string& path) {
    const DrawingFormat own =
        JwwSourceOf(document) != nullptr ? DrawingFormat::Jww : DrawingFormat::Dxf;
    // A converted copy saved under the name it was saved as is of the name's format, not the
    // source's: the file read is named in the source (a JWW named .dxf stays JWW).
    const JwwSource* jww = JwwSourceOf(document);
    const bool fileRead = jww == nullptr || jww->fileName == FileNameOf(path);
    if (!document.Path().empty() && path == document.Path() && fileRead) return own;
    const std::string extension = LowerExtension(path);
    if (extension == ".jww") return DrawingFormat::Jww;
    if (extension == ".dxf") return DrawingFormat::Dxf;
    return own;
}

void SaveDrawing(BoardDocument& document, const std::string& path) {
    const StateOf state(document);
    const DrawingFormat format = SaveFormat(document, path);
    const JwwSource* jww = JwwSourceOf(document);
    const std::string damage = SourceDamage(document);
    // Whether the file written holds every edit the drawing shows: else it stays modified.
    bool keptAll = true;
    if (!damage.empty()) {
        // The file read is gone: over it nothing is written (another program's save is there);
        // elsewhere, what the board holds goes into a new drawing.
        if (ReplaceTarget(path) == ReplaceTarget(SourceBytes(document)->Path())) {
            throw FileError(damage);
        }
        const DrawingState fresh = WithoutRecords(state.state);
        if (format == DrawingFormat::Jww) {
            WriteJww(path, *NewJwwSource(fresh), fresh);
        } else {
            WriteDxf(path, *NewDrawingSource(), fresh);
        }
    } else if (format == DrawingFormat::Jww) {
        if (jww != nullptr) {
            WriteJww(path, *jww, state.state);
            keptAll = JwwUnkeptEdits(*jww, state.state) == 0;
        } else {
            // A converted copy: every entity is new to it, with what the DXF shows beneath.
            WriteDxfAsJww(path, WithoutRecords(state.state), document.UnderlayModel().get());
        }
    } else if (jww != nullptr) {
        WriteJwwAsDxf(path, *jww, state.state);
    } else {
        WriteDxf(path, SourceOf(document), state.state);
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
    const DrawingFormat format = SaveFormat(document, path);
    const JwwSource* jww = JwwSourceOf(document);
    std::vector<std::string> losses;
    if (!SourceDamage(document).empty()) {
        const DrawingState fresh = WithoutRecords(state.state);
        losses = format == DrawingFormat::Jww ? JwwSaveLosses(*NewJwwSource(fresh), fresh)
                                              : DxfSaveLosses(*NewDrawingSource(), fresh);
        losses.insert(losses.begin(),
                      "開いた後でほかのプログラムが元のファイルを書き換えたので、線と円弧とレイヤ"
                      "だけを新しい図面として保存します (文字・ブロックなど元のファイルから読んだ"
                      "ものは残りません)");
        return losses;
    }
    const DrawingState fresh = WithoutRecords(state.state);
    if (format == DrawingFormat::Jww) {
        losses = jww != nullptr ? JwwSaveLosses(*jww, state.state)
                                : DxfAsJwwLosses(fresh, document.UnderlayModel().get());
    } else {
        losses = jww != nullptr ? JwwAsDxfLosses(*jww, state.state)
                                : DxfSaveLosses(SourceOf(document), state.state);
    }
    return losses;
}

std::optional<std::size_t> SourceRecordOf(const BoardDocument& document, std::size_t entity) {
    const auto* source = dynamic_cast<const DxfSource*>(document.Source().get());
    if (source == nullptr || entity >= source->entityRecord.size()) return std::nullopt;
    return source->entityRecord[entity];
}

}  // namespace pelimator::board
