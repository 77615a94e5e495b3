// A copy of a document's drawing taken at one moment, written later on another thread.
#include "board/files/drawing_snapshot.h"

namespace pelimator::board {

DrawingState DrawingSnapshot::State() const {
    DrawingState state;
    state.layers = layers;
    state.entities = entities;
    state.scaleNumerator = scaleNumerator;
    state.scaleDenominator = scaleDenominator;
    state.currentLayer = currentLayer;
    state.unitCode = unitCode;
    state.erased = erased;
    state.recordKeys = recordKeys;
    state.recordEdits = &recordEdits;
    return state;
}

const char* DrawingSnapshot::Extension() const noexcept { return format->Extension(); }

DrawingSnapshot SnapshotOf(const BoardDocument& document) {
    DrawingSnapshot snapshot;
    const BoardLayers& table = *document.LayerTable();
    snapshot.layers.reserve(table.Count());
    for (std::size_t i = 0; i < table.Count(); ++i) snapshot.layers.push_back(table.At(i));
    const BoardDrawing& drawing = *document.DrawingModel();
    const auto entities = drawing.Entities();
    snapshot.entities.assign(entities.begin(), entities.end());
    const auto erased = drawing.ErasedFlags();
    snapshot.erased.assign(erased.begin(), erased.end());
    const auto keys = drawing.RecordKeys();
    snapshot.recordKeys.assign(keys.begin(), keys.end());
    snapshot.recordEdits = drawing.RecordEdits();
    snapshot.scaleNumerator = document.ScaleModel()->Numerator();
    snapshot.scaleDenominator = document.ScaleModel()->Denominator();
    snapshot.currentLayer = document.CurrentAttributesModel()->Layer();
    snapshot.unitCode = document.UnitCode();
    snapshot.source = document.Source();
    snapshot.format = &FormatOfSource(snapshot.source.get());
    return snapshot;
}

void WriteSnapshot(const DrawingSnapshot& snapshot, const std::string& path) {
    DrawingState state = snapshot.State();
    const bool damaged = snapshot.source != nullptr && !snapshot.source->Damage().empty();
    if (damaged) {
        // The file read is gone: what the board holds becomes a new drawing (see SaveDrawing).
        state.recordKeys = {};
        state.recordEdits = nullptr;
    }
    snapshot.format->Write(path, damaged ? nullptr : snapshot.source.get(), state);
}

}  // namespace pelimator::board
