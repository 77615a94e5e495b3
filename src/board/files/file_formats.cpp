// The formats the board reads and writes: a new format is one line here.
#include "board/files/file_formats.h"

#include <array>

#include "board/dxf/dxf_format.h"
#include "board/jww/jww_format.h"

namespace pelimator::board {

std::span<const FileFormat* const> FileFormats() {
    static const std::array<const FileFormat*, 2> formats = {&DxfFormat(), &JwwFormat()};
    return formats;
}

const FileFormat& DefaultFormat() { return *FileFormats().front(); }

const FileFormat& FormatOfBytes(std::string_view bytes, const std::string& path) {
    // The default last: it takes what the others leave.
    for (const FileFormat* format : FileFormats().subspan(1)) {
        if (format->Claims(bytes, path)) return *format;
    }
    return DefaultFormat();
}

const FileFormat& FormatOfSource(const DocumentSource* source) {
    if (source != nullptr) {
        for (const FileFormat* format : FileFormats()) {
            if (format->Owns(*source)) return *format;
        }
    }
    return DefaultFormat();
}

const FileFormat* FormatOfExtension(const std::string& path) {
    const std::string extension = LowerExtension(path);
    for (const FileFormat* format : FileFormats()) {
        if (extension == format->Extension()) return format;
    }
    return nullptr;
}

}  // namespace pelimator::board
