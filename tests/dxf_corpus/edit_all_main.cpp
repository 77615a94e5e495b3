// dxf_corpus_edit_all IN OUTDIR: opens IN as the program does and, for each edit (erase, move,
// copy, rotate, layer change, mirror, scale, copy then turn the copies), selects every model-space
// record the edit can take, edits them all in one step and saves OUTDIR/<edit>.dxf. Prints one line
// per model-space record (ordinal, record, handle, type, refusal, copy refusal, then edit=refusal
// for each edit whose placement alone the record refuses) for the checker to pair with ezdxf's
// entities, then one line per fault found in the saved bytes: a record outside the edit changed, a
// save not the same twice, a saved file that does not save back to the same bytes. Exit 0 when it
// saved every edit (faults are for the checker to count), 1 when something failed.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_format.h"
#include "board/dxf/dxf_paste.h"
#include "board/dxf/dxf_transform.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/edits.h"
#include "host/errors.h"

namespace {

using namespace pelimator::board;

struct Row {
    std::size_t record = 0;
    std::size_t end = 0;  // past its attributes, vertices and SEQEND
    std::string handle;
    std::string type;
    std::string refusal;
    std::string copyRefusal;
    std::map<std::string, std::string> refusalFor;  // by edit: what only that placement refuses
};

// The placements of the edits below that turn, mirror and scale, as the board makes them.
std::map<std::string, RecordPlacement> Placements() {
    RecordPlacement mirror{{3.0, 4.0}, 2.0 * std::atan2(1.0, 0.5) * 180.0 / std::numbers::pi, {}};
    mirror.mirror = true;
    RecordPlacement scale{{3.0, 4.0}, 0.0, {}};
    scale.factor = 2.5;
    return {
        {"rotate", RecordPlacement{{3.0, 4.0}, 30.0, {}}}, {"mirror", mirror}, {"scale", scale}};
}

// The DXF records of the file at path the document was opened from: read once more beside it
// (the same bytes give the same records and entities).
std::shared_ptr<const DxfSource> RecordsOf(const BoardDocument& document, const std::string& path) {
    if (!document.Source() || !DxfFormat().Owns(*document.Source())) {
        throw std::runtime_error("not opened as a DXF file");
    }
    return ReadDxfFile(path, {false, nullptr}).source;
}

std::size_t RecordAt(const DxfSource& source, std::size_t offset) {
    const auto it = std::lower_bound(source.records.begin(), source.records.end(), offset);
    return static_cast<std::size_t>(it - source.records.begin());
}

std::string_view RecordBytes(const DxfSource& source, std::size_t record) {
    const std::string_view bytes = source.bytes;
    return bytes.substr(source.records[record],
                        source.records[record + 1] - source.records[record]);
}

struct Group {
    int code = 0;
    std::string text;  // trimmed (binary numbers: their raw bytes)
    std::int64_t integer = 0;
};

// The own groups of a record before its extended data.
std::vector<Group> OwnGroups(const DxfSource& source, std::size_t record) {
    std::vector<Group> groups;
    const std::string_view bytes = source.bytes;
    DxfTagReader reader(bytes.substr(0, source.records[record + 1]), source.layout,
                        source.fileName);
    reader.Seek(source.records[record], 1);
    for (DxfTag tag; reader.Next(tag) && tag.code < 1000;) {
        groups.push_back({tag.code, std::string(TrimDxf(tag.value)), tag.integer});
    }
    return groups;
}

// The model-space records of the ENTITIES section, in file order (paper space: group 67 is 1,
// or the owner is another block record).
std::vector<Row> ModelSpaceRows(const DxfSource& source) {
    std::vector<Row> rows;
    if (!source.entities.found) return rows;
    const std::size_t last = RecordAt(source, source.entities.end);
    for (std::size_t r = RecordAt(source, source.entities.begin) + 1; r < last;) {
        Row row;
        row.record = r;
        row.end = r + 1;  // read here, not by the code under test: its run up to its SEQEND
        while (row.end + 1 < source.records.size()) {
            const std::string next = OwnGroups(source, row.end).front().text;
            if (next != "VERTEX" && next != "ATTRIB" && next != "SEQEND") break;
            ++row.end;
            if (next == "SEQEND") break;
        }
        bool paper = false;
        bool reactors = false;  // inside a 102 {...} group
        bool owner = false;
        for (const auto& [code, value, integer] : OwnGroups(source, r)) {
            if (code == 0) row.type = value;
            if (code == 5 && row.handle.empty()) row.handle = value;
            if (code == 67) paper = paper || integer == 1;
            if (code == 102) reactors = value.starts_with('{');
            // A paper-space viewport may name its layout by owner alone.
            if (code == 330 && !reactors && !owner && !source.modelSpaceHandle.empty()) {
                paper = paper || value != source.modelSpaceHandle;
                owner = true;  // later 330s are a hatch's boundary objects and the like
            }
        }
        row.refusal = source.PlacementRefusal(static_cast<std::uint32_t>(r));
        row.copyRefusal = source.CopyRefusal(static_cast<std::uint32_t>(r));
        for (const auto& [edit, placement] : Placements()) {
            row.refusalFor[edit] =
                row.refusal.empty()
                    ? source.PlacementRefusalFor(static_cast<std::uint32_t>(r), placement)
                    : std::string();
        }
        if (!paper) rows.push_back(row);
        r = row.end;
    }
    return rows;
}

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Faults of saved against the original: every record the edit did not take is there with its
// very bytes, in order; copies come only after the last original entity, the blocks of copied
// dimensions only at the end of the BLOCKS section and their entries at the end of the
// BLOCK_RECORD table; the header and that table's head (its count) change only for a copy.
void CompareRecords(const std::string& edit, const DxfSource& original, const DxfSource& saved,
                    const std::vector<Row>& edited, std::vector<std::string>& faults) {
    std::vector<bool> taken(original.records.size(), false);  // a copy keeps its original
    const bool copies = edit.starts_with("copy");
    const bool placed = !copies && edit != "erase" && edit != "layer";
    for (const Row& row : edited) {
        for (std::size_t r = row.record; r < row.end && !copies; ++r) taken[r] = true;
        // A placed dimension's block content is placed with it (the checker compares it).
        for (const std::size_t head :
             placed ? DxfDimensionContent(original, row.record) : std::vector<std::size_t>{}) {
            for (std::size_t r = head; r < DxfRecordEnd(original, head); ++r) taken[r] = true;
        }
        // So is a scaled table's (scaled about the block's origin).
        if (const auto block = edit == "scale" ? DxfTableBlock(original, row.record) : std::nullopt)
            std::fill(taken.begin() + static_cast<std::ptrdiff_t>(block->block) + 1,
                      taken.begin() + static_cast<std::ptrdiff_t>(block->end), true);
    }
    const std::size_t entitiesEnd = RecordAt(original, original.entities.end);
    const DxfFileMap map = MapDxfFile(original);
    std::vector<std::size_t> copiesBefore{entitiesEnd};  // where a copy adds records
    std::size_t blockTable = kNoDxfRecord;
    if (map.blocksEnd != kNoDxfRecord) copiesBefore.push_back(RecordAt(original, map.blocksEnd));
    if (const auto table = map.tables.find("BLOCK_RECORD"); table != map.tables.end()) {
        copiesBefore.push_back(RecordAt(original, table->second.endTab));
        blockTable = static_cast<std::size_t>(std::upper_bound(original.records.begin(),
                                                               original.records.end(),
                                                               table->second.count.begin) -
                                              original.records.begin()) -
                     1;
    }
    // A copied image's reactor goes at the end of OBJECTS.
    bool objects = false;
    for (std::size_t r = 0; r + 1 < original.records.size(); ++r) {
        const std::string type = DxfRecordType(original, r);
        if (type == "SECTION")
            objects = RecordBytes(original, r).find("OBJECTS") != std::string_view::npos;
        if (type == "ENDSEC" && objects) copiesBefore.push_back(r);
    }
    std::size_t s = 0;
    const std::size_t savedCount = saved.records.size() - 1;
    for (std::size_t r = 0; r + 1 < original.records.size(); ++r) {
        if (taken[r]) {
            if (edit != "erase") s += 1;  // placed in place, or kept beside its copy
            continue;
        }
        if (s >= savedCount) {
            faults.push_back(edit + ": record " + std::to_string(r) + " is missing");
            return;
        }
        const std::string_view was = RecordBytes(original, r);
        std::string_view now = RecordBytes(saved, s);
        // Copies go at the end of ENTITIES, before its ENDSEC (their blocks likewise).
        if (copies && original.entities.found &&
            std::find(copiesBefore.begin(), copiesBefore.end(), r) != copiesBefore.end()) {
            while (s < savedCount && now != was) now = RecordBytes(saved, ++s);
        }
        // A definition an image or underlay copy names lists the copy's reactor (the checker
        // reads the list).
        const std::string type = DxfRecordType(original, r);
        const bool header = r == RecordAt(original, original.header.begin) || r == blockTable ||
                            type == "IMAGEDEF" || type.ends_with("DEFINITION");
        if (now != was && !(header && copies)) {
            faults.push_back(edit + ": record " + std::to_string(r) + " (" +
                             DxfRecordType(original, r) + ") changed");
        }
        ++s;
    }
    if (s != savedCount) faults.push_back(edit + ": records left over at the end");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: dxf_corpus_edit_all IN.dxf OUTDIR\n";
        return 1;
    }
    const std::filesystem::path out = argv[2];
    try {
        const auto application = BoardApplication::Create();
        std::vector<Row> rows;
        {
            const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
            rows = ModelSpaceRows(*RecordsOf(*opened.document, argv[1]));
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            std::cout << "row\t" << i << '\t' << row.record << '\t' << row.handle << '\t'
                      << row.type << '\t' << row.refusal << '\t' << row.copyRefusal;
            for (const auto& [edit, placement] : Placements()) {
                std::cout << '\t' << edit << '=' << row.refusalFor.at(edit);
            }
            std::cout << '\n';
        }
        std::vector<std::string> faults;
        for (const std::string edit :
             {"erase", "move", "copy", "rotate", "layer", "mirror", "scale", "copyturn"}) {
            const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
            BoardDocument& document = *opened.document;
            const auto records = RecordsOf(document, argv[1]);
            const DxfSource& source = *records;
            std::vector<Row> edited;
            Selection selection;
            // Copies are made as the selection lists them: records drawn as the board's lines
            // and arcs first (by their entities), then the others.
            std::vector<std::pair<std::size_t, std::size_t>> copyOrder;  // (entity, row)
            std::vector<std::size_t> undrawn;
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const Row& row = rows[i];
                if (edit != "erase" && edit != "layer" && !row.refusal.empty()) continue;
                if (edit.starts_with("copy") && !row.copyRefusal.empty()) continue;
                // The copies turned after: a record refused a turn is left out.
                if (const auto found = row.refusalFor.find(edit == "copyturn" ? "rotate" : edit);
                    found != row.refusalFor.end() && !found->second.empty()) {
                    continue;
                }
                edited.push_back(row);
                const auto first =
                    std::find(source.entityRecord.begin(), source.entityRecord.end(), row.record);
                if (first == source.entityRecord.end()) {
                    selection.records.push_back(static_cast<std::uint32_t>(row.record));
                    undrawn.push_back(i);
                    continue;
                }
                copyOrder.emplace_back(
                    static_cast<std::size_t>(first - source.entityRecord.begin()), i);
                for (auto e = first; e != source.entityRecord.end(); ++e) {
                    if (*e == row.record) {
                        selection.entities.push_back(
                            static_cast<std::size_t>(e - source.entityRecord.begin()));
                    }
                }
            }
            std::sort(selection.entities.begin(), selection.entities.end());
            if (edit.starts_with("copy")) {
                std::sort(copyOrder.begin(), copyOrder.end());
                std::cout << "copyorder";
                for (const auto& [entity, row] : copyOrder) std::cout << '\t' << row;
                for (const std::size_t row : undrawn) std::cout << '\t' << row;
                std::cout << '\n';
            }
            // A record that cannot be copied whole is refused, with nothing changed.
            for (const Row& row : rows) {
                if (edit != "copy" || !row.refusal.empty() || row.copyRefusal.empty()) continue;
                Selection one;
                one.records.push_back(static_cast<std::uint32_t>(row.record));
                try {
                    (void)CopySelection(document, one, {12.5, -7.25});
                    faults.push_back("copy: " + row.type + " " + row.handle + " copied");
                } catch (const pelimator::HostError&) {
                }
            }
            if (edit == "erase") {
                (void)EraseSelection(document, selection);
            } else if (edit == "move") {
                (void)MoveSelection(document, selection, {12.5, -7.25});
            } else if (edit == "copy") {
                (void)CopySelection(document, selection, {12.5, -7.25});
            } else if (edit == "copyturn") {  // the copies turned after, as a second step
                (void)RotateSelection(document, CopySelection(document, selection, {12.5, -7.25}),
                                      {3.0, 4.0}, 30.0);
            } else if (edit == "layer") {
                // The table's last layer: seldom the one most entities are on.
                const BoardLayers& layers = *document.LayerTable();
                const LayerData& layer = layers.At(layers.Count() - 1);
                std::cout << "layer\t" << layer.name << '\n';
                (void)ChangeLayerOfSelection(document, selection, layer.number);
            } else if (edit == "mirror") {
                (void)MirrorSelection(document, selection, {3.0, 4.0}, {3.5, 5.0});
            } else if (edit == "scale") {
                (void)ScaleSelection(document, selection, {3.0, 4.0}, 2.5);
            } else {
                (void)RotateSelection(document, selection, {3.0, 4.0}, 30.0);
            }
            const std::filesystem::path saved = out / (edit + ".dxf");
            const std::filesystem::path twice = out / (edit + "_twice.dxf");
            const std::filesystem::path back = out / (edit + "_back.dxf");
            SaveDrawing(document, saved.string());
            SaveDrawing(document, twice.string());
            if (Slurp(saved) != Slurp(twice)) faults.push_back(edit + ": two saves differ");
            const OpenedDrawing reopened = OpenDrawing(*application, saved.string());
            SaveDrawing(*reopened.document, back.string());
            if (Slurp(saved) != Slurp(back)) {
                faults.push_back(edit + ": the saved file does not save back the same");
            }
            CompareRecords(edit, source, *RecordsOf(*reopened.document, saved.string()), edited,
                           faults);
            std::filesystem::remove(twice);
            std::filesystem::remove(back);
        }
        for (const std::string& fault : faults) std::cout << "fault\t" << fault << '\n';
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
