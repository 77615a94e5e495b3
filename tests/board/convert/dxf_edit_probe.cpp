// A DXF drawing opened as the board opens it, one of its records edited as a drafter edits it,
// then saved as a JWW (the edit test reads the JWW back and looks for the edit).
//   dxf_edit_probe IN OUT.jww KIND erase|turn|layer|keep|extents
// KIND is a record type (TEXT, INSERT, ...): the first record of that type the board shows and
// can place (for an erase or a layer, else the first one) is erased, turned a quarter turn
// counter-clockwise about a pivot far to the right of the drawing (which lands it well below the
// drawing), or put on the last other layer of the layer table. Prints one line of JSON: the
// record, the pivot and the lowest y of the drawing, in drawing units; "none" when no record
// fits. keep: saved as opened (KIND unused). extents: nothing saved; the box the board fits IN
// to, as [min x, min y, max x, max y].
#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>

#include "base/errors.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/edits.h"

namespace {

using namespace pelimator;
using namespace pelimator::board;

// The box of what the board shows of the drawing, as the window fits it: its lines and arcs and
// the underlay.
Box ShownBox(const BoardDocument& document) {
    const UnderlayPtr& u = document.UnderlayModel();
    const auto box = UnionOf(document.DrawingModel()->Bounds(), u ? u->Extents() : std::nullopt);
    return box ? *box : Box{};
}

int Edit(BoardDocument& document, const std::string& out, const std::string& kind,
         const std::string& op) {
    const DocumentSource& source = *document.Source();
    const UnderlayPtr& underlay = document.UnderlayModel();
    if (op == "extents") {
        const Box box = ShownBox(document);
        std::printf("[%.17g,%.17g,%.17g,%.17g]\n", box.min.x, box.min.y, box.max.x, box.max.y);
        return 0;
    }
    if (op == "keep") {
        SaveDrawing(document, out);
        return 0;
    }
    // The first record of the kind the board can place, else the first one (erased only).
    std::uint32_t record = kNoRecordKey;
    std::int32_t layer = 0;
    bool placeable = false;
    const auto consider = [&](std::uint32_t key, std::int32_t on) {
        if (key == kNoRecordKey || placeable || source.RecordKind(key) != kind) return;
        const bool can = source.PlacementRefusal(key).empty();
        if (record == kNoRecordKey || can) std::tie(record, layer) = std::pair{key, on};
        placeable = can;
    };
    const auto keys = source.EntityRecords();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        consider(keys[i], document.DrawingModel()->At(i).layer);
    }
    if (underlay) {
        for (const UnderlayItem& item : underlay->items) consider(item.record, item.layer);
    }
    if (record == kNoRecordKey || (op == "turn" && !placeable)) return std::puts("none"), 0;
    const Box box = ShownBox(document);
    const double size = std::max({box.max.x - box.min.x, box.max.y - box.min.y, 1.0});
    const Vec2 pivot{box.max.x + 2.0 * size, box.min.y};
    Selection selection;
    selection.records = {record};
    if (op == "erase") {
        (void)EraseSelection(document, selection);
    } else if (op == "turn") {
        (void)RotateSelection(document, selection, pivot, 90.0);
    } else if (op == "layer") {
        // To the last layer of the table that is not the record's.
        const BoardLayers& layers = *document.LayerTable();
        std::int32_t to = layer;
        for (std::size_t i = 0; i < layers.Count(); ++i) {
            if (layers.At(i).number != layer) to = layers.At(i).number;
        }
        if (to == layer) return std::puts("none"), 0;
        (void)ChangeLayerOfSelection(document, selection, to);
    } else {
        return 2;
    }
    SaveDrawing(document, out);
    std::printf("{\"record\":%u,\"pivot\":[%.17g,%.17g],\"below\":%.17g}\n", record, pivot.x,
                pivot.y, box.min.y - size);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: dxf_edit_probe IN OUT.jww KIND erase|turn|layer|keep|extents\n");
        return 2;
    }
    try {
        const auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
        return Edit(*opened.document, argv[2], argv[3], argv[4]);
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
