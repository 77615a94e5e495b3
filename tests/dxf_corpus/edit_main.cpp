// dxf_corpus_edit IN OUT erase|move|copy|rotate|scale:F HANDLE: opens IN as the program does,
// edits the model-space record with that handle as the board's edit commands do (a scale by F
// about (3, 4)), and saves to OUT. Exit 0 when saved, 3 when the edit was refused (the message
// on stdout), 1 on any other failure.
#include <exception>
#include <iostream>
#include <string>

#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_format.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/edits.h"
#include "host/errors.h"

namespace {

using namespace pelimator::board;

// The record whose handle (group 5) is handle; kNoRecordKey when none.
std::uint32_t RecordWithHandle(const DxfSource& source, const std::string& handle) {
    const std::string_view bytes = source.bytes;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        DxfTagReader reader(bytes.substr(0, source.records[r + 1]), source.layout, source.fileName);
        reader.Seek(source.records[r], 1);
        DxfTag tag;
        int read = 0;
        while (read++ < 3 && reader.Next(tag)) {
            if (tag.code == 5 && TrimDxf(tag.value) == handle) return static_cast<std::uint32_t>(r);
        }
    }
    return kNoRecordKey;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr
            << "usage: dxf_corpus_edit IN.dxf OUT.dxf erase|move|copy|rotate|scale:F HANDLE\n";
        return 1;
    }
    const std::string operation = argv[3];
    try {
        const auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, argv[1]);
        BoardDocument& document = *opened.document;
        // The file's DXF records, read once more beside the document (the same bytes give the
        // same records and entities).
        const bool dxf = document.Source() && DxfFormat().Owns(*document.Source());
        const auto source = dxf ? ReadDxfFile(argv[1], {false, nullptr}).source : nullptr;
        const std::uint32_t key = source ? RecordWithHandle(*source, argv[4]) : kNoRecordKey;
        if (key == kNoRecordKey) {
            std::cerr << "no record with handle " << argv[4] << '\n';
            return 1;
        }
        Selection selection;
        for (std::size_t i = 0; i < source->entityRecord.size(); ++i) {
            if (source->entityRecord[i] == key) selection.entities.push_back(i);
        }
        if (selection.entities.empty()) selection.records.push_back(key);
        try {
            if (operation == "erase") {
                (void)EraseSelection(document, selection);
            } else if (operation == "move") {
                (void)MoveSelection(document, selection, {12.5, -7.25});
            } else if (operation == "copy") {
                (void)CopySelection(document, selection, {12.5, -7.25});
            } else if (operation == "rotate") {
                (void)RotateSelection(document, selection, {3.0, 4.0}, 30.0);
            } else if (operation.starts_with("scale:")) {
                (void)ScaleSelection(document, selection, {3.0, 4.0},
                                     std::stod(operation.substr(6)));
            } else {
                std::cerr << "unknown operation " << operation << '\n';
                return 1;
            }
        } catch (const pelimator::HostError& refused) {
            std::cout << refused.what() << '\n';
            return 3;
        }
        SaveDrawing(document, argv[2]);
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << '\n';
        return 1;
    }
    return 0;
}
