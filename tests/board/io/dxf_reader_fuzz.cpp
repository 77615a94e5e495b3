// libFuzzer target: any bytes given to the DXF reader end in a drawing or a FileError, never in
// a crash, a hang or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "board/io/dxf_file.h"
#include "base/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto result = pelimator::board::ReadDxfText(text, "fuzz.dxf");
        // Whatever was read must satisfy what the board relies on.
        for (const auto& entity : result.content.entities) {
            if (!pelimator::board::IsFinite(entity.start) ||
                !pelimator::board::IsFinite(entity.end) ||
                !pelimator::board::IsFinite(entity.center) || !(entity.radius >= 0.0)) {
                __builtin_trap();
            }
        }
        if (result.content.scaleNumerator <= 0 || result.content.scaleDenominator <= 0) {
            __builtin_trap();
        }
    } catch (const pelimator::FileError&) {
    }
    return 0;
}
