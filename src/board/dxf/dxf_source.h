// What is kept of an opened DXF file so that a save writes it back with nothing lost: its bytes,
// where each record starts, and the few places a save patches or adds to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/file_bytes.h"
#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_tags.h"
#include "board/model/document.h"
#include "board/model/entity.h"
#include "board/model/layers.h"

namespace pelimator::board {

inline constexpr std::size_t kNoDxfRecord = std::numeric_limits<std::size_t>::max();

// A tag of the file, by its byte range; absent when not found.
struct DxfPlace {
    bool found = false;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A table of the TABLES section: its head's handle and count, and where new entries go.
struct DxfTablePlace {
    bool found = false;
    std::string handle;  // the head's handle (R13 on)
    DxfPlace count;      // the head's group 70
    std::int64_t countValue = 0;
    std::size_t endTab = 0;  // offset of its ENDTAB record (else where the table stops)
    bool closed = false;     // endTab is an ENDTAB record of its own
};

// A closing record the file lacks, which every save writes at `at`: a section's ENDSEC, or the
// SEQEND of a POLYLINE (or of an INSERT's attributes) left open at the end of ENTITIES.
struct DxfClosing {
    std::size_t at = 0;
    bool seqend = false;
    std::string owner;  // SEQEND: the handle of the record it closes (R13 on)
    std::string layer;  // SEQEND: that record's layer as written
};

// A board layer as the file gave it.
struct DxfLayerEntry {
    LayerData read;                     // number, name, colour and visibility as read
    std::string rawName;                // the DXF name as written (trimmed)
    std::size_t record = kNoDxfRecord;  // its LAYER record; none for a name only entities use
    bool hasOurData = false;            // it carries Pelimator's extended data
};

// The records of a section: [first, last), first its SECTION record, last its ENDSEC (or where
// it stops); none when last is 0.
struct DxfSectionRecords {
    std::size_t first = 0;
    std::size_t last = 0;
    [[nodiscard]] bool Found() const noexcept { return last > first; }
};

struct DxfBlockIndex;  // dxf_dimension_block.h

class DxfSource final : public DocumentSource {
public:
    std::string fileName;
    FileBytes bytes;  // the whole file as read
    DxfLayout layout;
    std::string version = "AC1009";  // $ACADVER
    // Before AC1021: the code page text is in ("ANSI_932"); codePageGuessed when the header had
    // none and it was taken from the bytes.
    std::string codePage = "ANSI_1252";
    bool codePageGuessed = false;
    bool handles = false;  // records carry handles (R13 on, or R12 with $HANDLING 1)
    // Above $HANDSEED and every handle in the file; 0 when the file holds the highest handle.
    std::uint64_t nextHandle = 1;
    std::uint64_t maxHandle = 0;  // the file's highest and lowest handles (min: none, all ones)
    std::uint64_t minHandle = ~std::uint64_t{0};
    // Start offset of every record (files are at most 2 GiB), then the offset past "0 EOF".
    std::vector<std::uint32_t> records;

    DxfPlace header;    // begin: the HEADER section's start; end: its ENDSEC record
    DxfPlace handSeed;  // the tags holding $HANDSEED, $DIMSCALE and the scale property
    DxfPlace dimScale;
    DxfPlace scaleProperty;
    std::int32_t scaleNumerator = 1;  // the scale as read
    std::int32_t scaleDenominator = 1;
    bool scaleStored = false;       // the file had the board's scale property or a scale not 1:1
    DxfPlace currentLayerTag;       // the tag holding $CLAYER's layer name
    std::int32_t currentLayer = 0;  // the board layer it names (0 when it has none)
    DxfPlace unitTag;               // the tag holding $INSUNITS
    std::int32_t unitCode = 0;      // the unit as the board took it (0: none or unknown)

    DxfPlace tables;  // the TABLES section: begin of its SECTION record, end: its ENDSEC record
    DxfTablePlace layerTable;
    DxfTablePlace appidTable;
    bool hasOurAppid = false;
    std::string modelSpaceHandle;  // the *Model_Space BLOCK_RECORD
    std::string continuous;        // the linetype "Continuous" as the file spells it, if any
    std::vector<DxfLayerEntry> layers;

    // The handle new layers take as their plot style (group 390, R2000 on): the "Normal" entry
    // of the ACAD_PLOTSTYLENAME dictionary, else what the file's layers use; empty: none.
    std::string plotStyle;
    std::vector<DxfClosing> closings;

    DxfPlace entities;                          // the ENTITIES section, as tables
    DxfSectionRecords classes;                  // the CLASSES section's records
    DxfSectionRecords objects;                  // the OBJECTS section's records
    std::size_t tablesInsert = kNoDxfRecord;    // where a missing TABLES section would go
    std::size_t entitiesInsert = kNoDxfRecord;  // where a missing ENTITIES section would go

    // For each entity the board took from the file: the record it came from (a polyline's
    // segments share one), and a fingerprint of it as read (a save notices edits).
    std::vector<std::uint32_t> entityRecord;
    std::vector<std::uint64_t> entityPrint;
    // The entities' own colours (see DocumentSource::OwnColours); as long as the last entity
    // that has one.
    std::vector<std::uint32_t> entityColour;
    // The entities' linetypes and the layers' (see DocumentSource::EntityDashes); all empty when
    // the file has no dashed linetype.
    std::vector<std::uint32_t> entityDash;
    std::vector<std::pair<std::int32_t, std::uint32_t>> layerDash;  // dashed layers only
    std::vector<std::vector<double>> dashPatterns;
    std::vector<DxfLinetypeLabel> dashLabels;  // each pattern's linetype

    [[nodiscard]] std::string FilePath() const override { return bytes.Path(); }
    [[nodiscard]] std::optional<std::size_t> RecordOf(std::size_t entity) const override {
        if (entity >= entityRecord.size()) return std::nullopt;
        return entityRecord[entity];
    }

    [[nodiscard]] std::span<const std::uint32_t> OwnColours() const override {
        return entityColour;
    }
    [[nodiscard]] std::span<const std::uint32_t> EntityDashes() const override {
        return entityDash;
    }
    [[nodiscard]] std::uint32_t LayerDash(std::int32_t layer) const override {
        for (const auto& [number, dash] : layerDash) {
            if (number == layer) return dash;
        }
        return kSolidLine;
    }
    [[nodiscard]] std::span<const std::vector<double>> DashPatterns() const override {
        return dashPatterns;
    }
    [[nodiscard]] std::span<const std::uint32_t> EntityRecords() const override {
        return entityRecord;
    }
    [[nodiscard]] std::string RecordKind(std::uint32_t record) const override;
    [[nodiscard]] std::string RecordLinetype(std::uint32_t record) const override;
    [[nodiscard]] std::string RecordColourName(std::uint32_t record) const override;
    [[nodiscard]] std::string PlacementRefusal(std::uint32_t record) const override;
    [[nodiscard]] std::string PlacementRefusalFor(std::uint32_t record,
                                                  const RecordPlacement& placement) const override;
    [[nodiscard]] std::string PasteRefusalFrom(const DocumentSource& file,
                                               std::uint32_t record) const override;
    [[nodiscard]] RecordPlacement PlacementOf(std::uint32_t record,
                                              const std::vector<RecordPlacement>& earlier,
                                              const RecordPlacement& placement) const override;
    // The file's blocks and what names them (read with the file: never changed after, so the
    // autosave's thread may read it beside the window's).
    std::shared_ptr<const DxfBlockIndex> blockIndex;
    [[nodiscard]] std::string CopyRefusal(std::uint32_t record) const override;
    // Why a pasted image, wipeout or underlay (of that type) cannot go into this file ("": it
    // can).
    [[nodiscard]] std::string ImagePasteRefusal(const std::string& type) const;
    [[nodiscard]] std::vector<std::string> PasteRefusals(
        std::span<const std::uint32_t> pasted) const override;
    [[nodiscard]] std::string Damage() const override { return bytes.Damage(); }
    // DXF records with or without subclass markers and handles.
    [[nodiscard]] std::string RecordForm() const override {
        return std::string(Modern() ? "DXF R13" : "DXF R12") + (handles ? "" : " no handles");
    }

    // Whether text in this file is UTF-8 (AC1021 on).
    [[nodiscard]] bool Utf8() const { return version >= "AC1021"; }
    // Whether records carry subclass markers and owners (R13 on).
    [[nodiscard]] bool Modern() const { return version > "AC1009"; }
};

// A fingerprint of everything an entity holds.
[[nodiscard]] std::uint64_t EntityPrint(const EntityData& entity) noexcept;

}  // namespace pelimator::board
