// libFuzzer target: any bytes given to the JWW reader end in a drawing or a FileError, never in
// a crash, a hang or undefined behaviour; a drawing read is saved again with a line and an arc
// added, and what is saved reads back with both, the blocks as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/errors.h"
#include "board/jww/jww_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelimator::board;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    JwwReadResult result;
    try {
        result = ReadJwwBytes(std::move(bytes), "fuzz.jww");
    } catch (const pelimator::FileError&) {
        return 0;
    }
    for (const auto& entity : result.content.entities) {
        if (!IsFinite(entity.start) || !IsFinite(entity.end) || !IsFinite(entity.center) ||
            !(entity.radius >= 0.0)) {
            __builtin_trap();
        }
    }
    if (result.content.layers.size() != 256 || result.content.scaleNumerator <= 0 ||
        result.content.scaleDenominator <= 0 ||
        result.source->entityPrint.size() != result.content.entities.size()) {
        __builtin_trap();
    }
    DrawingContent& content = result.content;
    content.entities.push_back(MakeLine({1, 2}, {3, 4}, 17));
    content.entities.push_back(MakeArc({0, 0}, {5, 0}, {0, 5}, 300));
    const DrawingState state{content.layers, content.entities, content.scaleNumerator,
                             content.scaleDenominator};
    (void)JwwSaveLosses(*result.source, state);
    std::string saved;
    try {
        saved = SavedJwwBytes(*result.source, state);
    } catch (const pelimator::FileError&) {
        return 0;  // refused (too many entities): said so, nothing written
    }
    try {
        const JwwReadResult again = ReadJwwBytes(saved, "saved.jww");
        if (again.content.entities.size() != content.entities.size()) __builtin_trap();
        if (again.blocks.size() != result.blocks.size()) __builtin_trap();
    } catch (const pelimator::FileError& error) {
        std::fprintf(stderr, "saved file does not read back: %s\n", error.what());
        __builtin_trap();  // what we write must read back
    }
    return 0;
}
