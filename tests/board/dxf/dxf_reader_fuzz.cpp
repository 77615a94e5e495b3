// libFuzzer target: any bytes given to the DXF reader end in a drawing or a FileError, never in
// a crash, a hang or undefined behaviour; a drawing read is saved again (with a line added) and
// what is saved reads back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/errors.h"
#include "board/dxf/dxf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelimator::board;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DxfReadResult result;
    try {
        result = ReadDxfText(text, "fuzz.dxf");
    } catch (const pelimator::FileError&) {
        return 0;
    }
    // Whatever was read must satisfy what the board relies on.
    for (const auto& entity : result.content.entities) {
        if (!IsFinite(entity.start) || !IsFinite(entity.end) || !IsFinite(entity.center) ||
            !(entity.radius >= 0.0)) {
            __builtin_trap();
        }
    }
    if (result.content.scaleNumerator <= 0 || result.content.scaleDenominator <= 0 ||
        result.source->entityRecord.size() != result.content.entities.size()) {
        __builtin_trap();
    }
    DrawingContent& content = result.content;
    content.layers.push_back({987654, "追加", {1, 2, 3}, true});
    content.entities.push_back(MakeLine({1, 2}, {3, 4}, 987654));
    const DrawingState state{content.layers, content.entities, content.scaleNumerator,
                             content.scaleDenominator};
    (void)DxfSaveLosses(*result.source, state);
    std::string saved;
    try {
        saved = SavedDxfBytes(*result.source, state);
    } catch (const pelimator::FileError&) {
        return 0;  // a save refused because the file's structure leaves no safe place is fine
    }
    try {
        const DxfReadResult again = ReadDxfText(saved, "saved.dxf");
        if (again.content.entities.size() != content.entities.size()) __builtin_trap();
    } catch (const pelimator::FileError& error) {
        std::fprintf(stderr, "saved file does not read back: %s\n", error.what());
        __builtin_trap();  // what we write must read back
    }
    return 0;
}
