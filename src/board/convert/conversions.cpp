// Jw_cad drawings as DXF at real size, and DXF drawings as Jw_cad drawings in paper millimetres.
#include "board/convert/conversions.h"

#include "board/convert/dxf_to_jww.h"
#include "board/convert/jww_to_dxf.h"
#include "board/dxf/dxf_format.h"
#include "board/jww/jww_format.h"

namespace pelimator::board {
namespace {

// The edited JWW the board would save, converted: the JWW's own records with the state's edits.
class JwwToDxf final : public FormatConversion {
public:
    void Write(const std::string& path, const DocumentSource& from, const DrawingState& state,
               const Underlay* /*underlay*/) const override {
        WriteJwwAsDxf(path, Jww(from), state);
    }
    [[nodiscard]] std::vector<std::string> Losses(const DocumentSource& from,
                                                  const DrawingState& state,
                                                  const Underlay* /*underlay*/) const override {
        return JwwAsDxfLosses(Jww(from), state);
    }

private:
    static const JwwSource& Jww(const DocumentSource& from) {
        // Listed only from the JWW format, whose sources are all JWW drawings.
        return *AsJwwSource(from);
    }
};

// A new Jw_cad drawing of the board's entities and of what the DXF shows beneath them as edited,
// its blocks kept as blocks (the kept inserts and dimensions placed as the drafter placed them).
class DxfToJww final : public FormatConversion {
public:
    void Write(const std::string& path, const DocumentSource& from, const DrawingState& state,
               const Underlay* underlay) const override {
        WriteDxfAsJww(path, Fresh(state), underlay, dynamic_cast<const DxfSource*>(&from));
    }
    [[nodiscard]] std::vector<std::string> Losses(const DocumentSource& from,
                                                  const DrawingState& state,
                                                  const Underlay* underlay) const override {
        return DxfAsJwwLosses(Fresh(state), underlay, dynamic_cast<const DxfSource*>(&from));
    }

private:
    // Copies of records are written as the lines and arcs they show.
    static DrawingState Fresh(DrawingState state) {
        state.recordKeys = {};
        return state;
    }
};

}  // namespace

const FormatConversion* ConversionBetween(const FileFormat& from, const FileFormat& to) {
    static const JwwToDxf jwwToDxf;
    static const DxfToJww dxfToJww;
    if (&from == &JwwFormat() && &to == &DxfFormat()) return &jwwToDxf;
    if (&from == &DxfFormat() && &to == &JwwFormat()) return &dxfToJww;
    return nullptr;
}

}  // namespace pelimator::board
