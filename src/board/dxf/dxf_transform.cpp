// Placing a kept record's geometry group by group, by the roles dxf_record_roles gives them:
// points and directions placed, angles turned (a mirror runs them the other way round), lengths
// scaled, texts kept reading forwards.
#include "board/dxf/dxf_transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

#include "base/errors.h"
#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_multileader.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_object_copy.h"
#include "board/dxf/dxf_plain_record.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_table.h"
#include "board/dxf/dxf_table_scale.h"

namespace pelimator::board {

using namespace dxf_roles;

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// What placing the records of one rewrite does, worked out once from its placements.
struct PlacementSum {
    const std::vector<RecordPlacement>* list = nullptr;
    double degrees = 0.0;   // the sum of the turns (without a mirror: the whole turn)
    bool mirrored = false;  // an odd number of mirrors
    bool rigid = true;      // no mirror and no factor
    double factor = 1.0;
    bool turns = false;  // angles change
};

PlacementSum SumOf(const std::vector<RecordPlacement>& placements) {
    PlacementSum sum;
    sum.list = &placements;
    for (const RecordPlacement& p : placements) {
        sum.degrees += p.degrees;
        sum.mirrored = sum.mirrored != p.mirror;
        sum.rigid = sum.rigid && IsRigidTurn(p);
        sum.factor *= std::abs(p.factor);
        sum.turns = sum.turns || p.degrees != 0.0 || p.mirror;
    }
    return sum;
}

// Reading forwards: the baseline runs rightwards, or straight up.
bool Forwards(Vec2 along) { return along.x > 1e-12 || (std::abs(along.x) <= 1e-12 && along.y > 0); }

// One record of the rewrite, read and analysed.
struct RecordView {
    std::vector<DxfTag> tags;
    std::string type;
    std::vector<Part> parts;
    std::vector<Role> roles;
    std::vector<std::size_t> yOf;
    bool head = false;
    bool planeMirrored = false;       // its points' plane system's x is the drawing's -x
    bool anglesMirrored = false;      // so is its angles' (an MTEXT's or a shape's seen from below)
    bool turnsOver = false;           // a mirror turns its plane over (a shape, a leader)
    std::size_t entityGroupsEnd = 0;  // its first subclass marker after AcDbEntity's groups
};

std::size_t EntityGroupsEnd(const std::vector<DxfTag>& tags) {
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].code == 100 && TrimDxf(tags[i].value) != "AcDbEntity") return i;
    }
    return tags.size();
}

// The parameters of one rewrite (a record and its followers).
struct Rewrite {
    const DxfSource& source;
    const std::vector<RecordPlacement>& placements;
    PlacementSum sum;
    std::string_view layerName;
    bool copy = false;
    std::uint64_t& nextHandle;
    std::string headHandle;
    DxfEmitter& out;
};

Vec2 ToDrawing(const RecordView& view, Vec2 v) { return view.planeMirrored ? Vec2{-v.x, v.y} : v; }

Vec2 FlipX(bool flip, Vec2 v) { return flip ? Vec2{-v.x, v.y} : v; }

// An angle of the record's plane system as the angle of a drawing direction, and back into the
// plane system the record comes out in.
double AngleIn(const RecordView& view, double a) { return view.anglesMirrored ? 180.0 - a : a; }
double AngleOut(const RecordView& view, double a) {
    return view.anglesMirrored != view.turnsOver ? 180.0 - a : a;
}

Vec2 PlaceVector(const Rewrite& job, const RecordView& view, Role role, Vec2 v) {
    Vec2 after = ToDrawing(view, v);
    for (const RecordPlacement& p : job.placements) {
        after = role == Role::Point ? PlacePoint(p, after) : PlaceDirection(p, after);
    }
    if (role == Role::Unit || role == Role::TextDirection) after = (1.0 / job.sum.factor) * after;
    return ToDrawing(view, after);
}

// An angle of the record's plane (degrees) placed; without a mirror, exactly the old angle
// plus the turn.
double PlaceRecordAngle(const Rewrite& job, const RecordView& view, double angle) {
    if (!job.sum.turns) return angle;
    if (job.sum.rigid) return angle + (view.anglesMirrored ? -job.sum.degrees : job.sum.degrees);
    double world = AngleIn(view, angle);
    for (const RecordPlacement& p : job.placements) world = PlaceAngle(p, world);
    return AngleOut(view, world);
}

// A text's direction placed and turned half round after each mirror that left it reading
// backwards; flips: how many such half turns. ofAngle: it is the direction of an angle (in the
// angles' plane system), else a vector (in the points').
Vec2 PlaceTextDirection(const Rewrite& job, const RecordView& view, Vec2 along, int& flips,
                        bool ofAngle) {
    flips = 0;
    const bool mirrored = ofAngle ? view.anglesMirrored : view.planeMirrored;
    Vec2 v = FlipX(mirrored, along);
    for (const RecordPlacement& p : job.placements) {
        v = PlaceDirection(p, v);
        if (p.mirror && !Forwards(v)) {
            v = -1.0 * v;
            ++flips;
        }
    }
    return FlipX(mirrored, (1.0 / job.sum.factor) * v);
}

double PlaceTextAngle(const Rewrite& job, const RecordView& view, double degrees, int& flips) {
    flips = 0;
    if (job.sum.rigid) return PlaceRecordAngle(job, view, degrees);
    const double radians = degrees / kDegrees;
    const Vec2 placed =
        PlaceTextDirection(job, view, {std::cos(radians), std::sin(radians)}, flips, true);
    double turned = std::atan2(placed.y, placed.x) * kDegrees;
    if (turned < 0.0) turned += 360.0;
    return turned;
}

bool IsText(std::string_view type) {
    return type == "TEXT" || type == "ATTRIB" || type == "ATTDEF";
}

// How a text of the record reads after the placements: how many half turns keep it reading
// forwards, and where its alignment groups are.
struct TextFix {
    bool flipped = false;  // an odd number of half turns: its alignment runs the other way
    int hAlign = 0;
    std::size_t hAlignAt = kNone;
    std::size_t first = kNone;  // x of its first and second points (10, 11)
    std::size_t second = kNone;
};

TextFix TextFixOf(const Rewrite& job, const RecordView& view, Part part) {
    TextFix fix;
    if (job.sum.rigid || !(IsText(view.type) || view.type == "MTEXT")) return fix;
    const bool text = IsText(view.type) && part == Part::Own;
    // An MTEXT seen from below without a direction or an angle runs along the drawing's x (the
    // mirrored pairs of a real drawing show it): its plane system's angle 180.
    Vec2 along{view.type == "MTEXT" && view.anglesMirrored ? -1.0 : 1.0, 0.0};
    bool found = false;
    bool ofAngle = true;
    for (std::size_t i = 0; i < view.tags.size(); ++i) {
        if (view.parts[i] != part) continue;
        const DxfTag& tag = view.tags[i];
        if (view.roles[i] == Role::TextDirection && view.yOf[i] != kNone) {
            along = {tag.real, view.tags[view.yOf[i]].real};
            found = true;
            ofAngle = false;
        } else if (view.roles[i] == Role::TextAngle && !found) {
            along = {std::cos(tag.real / kDegrees), std::sin(tag.real / kDegrees)};
        }
        if (text && tag.code == 72) {
            fix.hAlign = static_cast<int>(tag.integer);
            fix.hAlignAt = i;
        }
        if (text && tag.code == 10) fix.first = i;
        if (text && tag.code == 11) fix.second = i;
    }
    int flips = 0;
    (void)PlaceTextDirection(job, view, along, flips, ofAngle);
    fix.flipped = flips % 2 == 1;
    return fix;
}

// What a rewrite adds to a record: groups it lacks that the placement needs, each before a tag.
struct Additions {
    std::vector<std::size_t> angleAt;  // an angle (50) per part that lacks one
    std::size_t directionAt = kNone;   // a leader's or tolerance frame's direction
    std::size_t scalesAt = kNone;      // an insert's scales
    std::size_t alignmentAt = kNone;   // a flipped left-aligned text's alignment and second point
    std::size_t extrusionAt = kNone;   // the extrusion of a record a mirror turns over
    bool extrusionXY = true;           // with its x and y (210, 220): it has neither
};

Additions AdditionsOf(const Rewrite& job, const RecordView& view, const TextFix& fix) {
    Additions add;
    if (job.sum.turns) {
        for (const Part part : {Part::Own, Part::Embedded}) {
            if (const auto at = MissingAngleAt(view.tags, view.parts, view.type, part)) {
                add.angleAt.push_back(*at);
            }
        }
        add.directionAt = MissingDirectionAt(view.tags, view.parts, view.type);
    }
    if (job.sum.mirrored || job.sum.factor != 1.0) {
        add.scalesAt = MissingScalesAt(view.tags, view.parts, view.type);
    }
    if (view.turnsOver) {
        add.extrusionAt = MissingExtrusionAt(view.tags, view.parts);
        for (std::size_t i = 0; i < view.tags.size(); ++i) {
            if (view.parts[i] == Part::Own && view.tags[i].code == 210) add.extrusionXY = false;
        }
    }
    if (fix.flipped && IsText(view.type) && fix.hAlign == 0 &&
        (fix.hAlignAt == kNone || fix.second == kNone)) {
        add.alignmentAt =
            fix.hAlignAt != kNone ? fix.hAlignAt + 1 : TextAlignmentAt(view.tags, view.parts);
    }
    return add;
}

void EmitPoint(DxfEmitter& out, int code, Vec2 p) {
    out.Real(code, p.x);
    out.Real(code + 10, p.y);
    out.Real(code + 20, 0.0);
}

// Emits what the record lacks that goes before tag i (i == tags.size(): at its end).
void EmitAdditions(const Rewrite& job, const RecordView& view, const Additions& add,
                   const TextFix& fix, std::size_t i) {
    DxfEmitter& out = job.out;
    if (i == add.scalesAt) {
        out.Real(41, job.sum.factor);
        out.Real(42, job.sum.mirrored ? -job.sum.factor : job.sum.factor);
    }
    for (const std::size_t at : add.angleAt) {
        if (at != i) continue;
        int flips = 0;
        const bool text = IsText(view.type) || view.type == "MTEXT";
        // An MTEXT seen from below lacking both runs along the drawing's x: its angle is 180.
        const double angle = view.type == "MTEXT" && view.anglesMirrored ? 180.0 : 0.0;
        out.Real(50, text ? PlaceTextAngle(job, view, angle, flips)
                          : PlaceRecordAngle(job, view, angle));
    }
    if (i == add.extrusionAt) {  // it had no z: (0, 0, 1), now turned over
        if (add.extrusionXY) {
            out.Real(210, 0.0);
            out.Real(220, 0.0);
        }
        out.Real(230, -1.0);
    }
    if (i == add.directionAt) {
        EmitPoint(out, view.type == "LEADER" ? 211 : 11,
                  PlaceVector(job, view, Role::Unit, {1.0, 0.0}));
    }
    if (i == add.alignmentAt) {
        if (fix.hAlignAt == kNone) out.Integer(72, 2);
        if (fix.second == kNone && fix.first != kNone && view.yOf[fix.first] != kNone) {
            const Vec2 p{view.tags[fix.first].real, view.tags[view.yOf[fix.first]].real};
            EmitPoint(out, 11, PlaceVector(job, view, Role::Point, p));
        }
    }
}

// The picture a record keeps for programs that do not know its kind (its proxy graphics: a size,
// 160 or 92, then chunks of 310, among its entity groups) shows it where it was: a placed record
// leaves it out. A 92 and 310 of its own kind's groups (a table's cell value) are kept.
bool ProxyGraphics(const RecordView& view, std::size_t i) {
    if (view.parts[i] != Part::Own || i >= view.entityGroupsEnd) return false;
    const int code = view.tags[i].code;
    const bool chunkNext = i + 1 < view.tags.size() && view.tags[i + 1].code == 310;
    return code == 310 || ((code == 160 || code == 92) && chunkNext);
}

// The groups a copy, a handle or a layer change rewrite; true when tag i was dealt with.
bool EmitIdentity(Rewrite& job, const RecordView& view, std::size_t i, bool& skipping) {
    const DxfTag& tag = view.tags[i];
    if (job.copy && tag.code == 102) {
        const std::string_view value = TrimDxf(tag.value);
        if (value == "{ACAD_REACTORS" || value == "{ACAD_XDICTIONARY") {
            skipping = true;
            return true;
        }
        if (skipping && value == "}") {
            skipping = false;
            return true;
        }
    }
    if (skipping) return true;
    // A handle left empty (as some writers do) stays empty in the copy: a number of ours
    // could meet the one a reader makes up for the original.
    if (job.copy && tag.code == 5 && i < 3 && !TrimDxf(tag.value).empty()) {
        job.out.Handle(5, job.nextHandle);
        if (view.head) {
            DxfEmitter text(DxfLayout{});
            text.Handle(5, job.nextHandle);
            job.headHandle = text.Out().substr(4, text.Out().size() - 5);
        }
        ++job.nextHandle;
        return true;
    }
    if (job.copy && !view.head && tag.code == 330 && !job.headHandle.empty()) {
        job.out.Text(330, job.headHandle);
        return true;
    }
    if (tag.code == 8 && view.parts[i] == Part::Own && !job.layerName.empty() &&
        (view.head || view.type != "ATTRIB")) {
        job.out.Text(8, job.layerName);
        return true;
    }
    return false;
}

// The point or vector whose x is tag i placed; a flipped text's anchor taken from its other
// point where its alignment changes.
std::optional<Vec2> PlacedVector(const Rewrite& job, const RecordView& view, const TextFix& fix,
                                 std::size_t i) {
    std::size_t from = i;
    if (fix.flipped && view.parts[i] == Part::Own && IsText(view.type)) {
        const bool swapBoth = fix.hAlign == 3 || fix.hAlign == 5;
        if (i == fix.first && (fix.hAlign == 2 || swapBoth) && fix.second != kNone)
            from = fix.second;
        if (i == fix.second && (fix.hAlign == 0 || swapBoth) && fix.first != kNone)
            from = fix.first;
    }
    if (view.yOf[i] == kNone || view.yOf[from] == kNone) return std::nullopt;
    const Vec2 before{view.tags[from].real, view.tags[view.yOf[from]].real};
    if (view.roles[i] == Role::TextDirection) {
        int flips = 0;
        return PlaceTextDirection(job, view, before, flips, false);
    }
    return PlaceVector(job, view, view.roles[i], before);
}

int FlippedAlignment(Role role, int value) {
    if (role == Role::HAlign) return value == 0 ? 2 : value == 2 ? 0 : value;
    const int column = (value - 1) % 3;  // an attachment point: 1 to 9, three to a row
    if (value < 1 || value > 9 || column == 1) return value;
    return value + (column == 0 ? 2 : -2);
}

// Where the placements take an angle, bulge or size of the record; none: kept as it is.
std::optional<double> PlacedNumber(const Rewrite& job, const RecordView& view, std::size_t i) {
    const DxfTag& tag = view.tags[i];
    const PlacementSum& sum = job.sum;
    const auto swapped = [&] {
        const std::size_t other = SwapPartner(view.tags, view.parts, i);
        return sum.mirrored && other != kNone ? view.tags[other].real : tag.real;
    };
    switch (view.roles[i]) {
        case Role::Degrees:
            return sum.turns ? std::optional(PlaceRecordAngle(job, view, tag.real)) : std::nullopt;
        case Role::SwapDegrees:
            return sum.turns ? std::optional(PlaceRecordAngle(job, view, swapped())) : std::nullopt;
        case Role::DegreesClockwise:
            return sum.turns ? std::optional(-PlaceRecordAngle(job, view, -tag.real))
                             : std::nullopt;
        case Role::SwapDegreesClockwise:
            return sum.turns ? std::optional(-PlaceRecordAngle(job, view, -swapped()))
                             : std::nullopt;
        case Role::SwapRadians: {
            // An arc dimension's ends (40, 41): a mirror swaps them.
            std::size_t other = kNone;
            for (std::size_t k = 0; k < view.tags.size() && sum.mirrored; ++k) {
                if (view.roles[k] == Role::SwapRadians && view.tags[k].code != tag.code) other = k;
            }
            const double angle = other != kNone ? view.tags[other].real : tag.real;
            return sum.turns
                       ? std::optional(PlaceRecordAngle(job, view, angle * kDegrees) / kDegrees)
                       : std::nullopt;
        }
        case Role::Radians:
            return sum.turns
                       ? std::optional(PlaceRecordAngle(job, view, tag.real * kDegrees) / kDegrees)
                       : std::nullopt;
        case Role::EllipseParam:
            return sum.mirrored ? std::optional(2.0 * std::numbers::pi - swapped()) : std::nullopt;
        case Role::EllipseParamDegrees:
            return sum.mirrored ? std::optional(360.0 - swapped()) : std::nullopt;
        case Role::Length:
            return sum.factor != 1.0 ? std::optional(tag.real * sum.factor) : std::nullopt;
        case Role::YScale:
            return sum.rigid ? std::nullopt
                             : std::optional(tag.real * (sum.mirrored ? -sum.factor : sum.factor));
        case Role::Bulge:
        case Role::NormalZ:
            return sum.mirrored ? std::optional(-tag.real) : std::nullopt;
        case Role::OverturnedRadians: {
            // Seen from below after a mirror: its plane's x is the drawing's -x.
            const double world = PlaceRecordAngle(job, view, tag.real * kDegrees);
            return sum.turns ? std::optional((sum.mirrored ? 180.0 - world : world) / kDegrees)
                             : std::nullopt;
        }
        case Role::TextAngle: {
            int flips = 0;
            return sum.turns ? std::optional(PlaceTextAngle(job, view, tag.real, flips))
                             : std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// Tag i placed by its role.
void EmitPlaced(const Rewrite& job, const RecordView& view, const TextFix& fix, std::size_t i,
                std::vector<std::optional<double>>& placedY) {
    const DxfTag& tag = view.tags[i];
    const Role role = view.roles[i];
    const std::string_view bytes = job.source.bytes;
    const auto raw = [&] { job.out.Raw(bytes.substr(tag.begin, tag.end - tag.begin)); };
    if (placedY[i]) {
        job.out.Real(tag.code, *placedY[i]);
        return;
    }
    if (view.turnsOver && tag.code == 230 && view.parts[i] == Part::Own) {
        job.out.Real(230, -tag.real);
        return;
    }
    if (role == Role::MirrorFlag) {
        job.sum.mirrored ? job.out.Integer(tag.code, tag.integer == 0 ? 1 : 0) : raw();
        return;
    }
    if (role == Role::HAlign || role == Role::Attachment) {
        const int value = static_cast<int>(tag.integer);
        const int flipped = fix.flipped ? FlippedAlignment(role, value) : value;
        flipped == value ? raw() : job.out.Integer(tag.code, flipped);
        return;
    }
    if (role == Role::Point || role == Role::Direction || role == Role::Unit ||
        role == Role::TextDirection) {
        const std::optional<Vec2> after = PlacedVector(job, view, fix, i);
        if (!after || (*after == Vec2{tag.real, view.tags[view.yOf[i]].real})) {
            raw();
            return;
        }
        job.out.Real(tag.code, after->x);
        placedY[view.yOf[i]] = after->y;
        return;
    }
    if (const std::optional<double> value = PlacedNumber(job, view, i)) {
        job.out.Real(tag.code, *value);
    } else {
        raw();
    }
}

// What a scale adds to a table before tag i (i == its tags' count: at its end), and its flags
// raised; true when tag i was dealt with. Its extension dictionary (102 {ACAD_XDICTIONARY}) is left
// out: it holds the table's content in the newer form (ACAD_XREC_ROUNDTRIP), whose sizes would no
// longer be the table's.
bool EmitTableScale(const Rewrite& job, const RecordView& view, const DxfTableScaleEdits& table,
                    std::size_t i, bool& skipping) {
    if (i == table.marginsAt) {
        job.out.Real(40, table.margins.at(0));
        job.out.Real(41, table.margins.at(1));
    }
    for (const auto& [at, height] : table.heights) {
        if (at == i) job.out.Real(140, height);
    }
    if (i == view.tags.size()) return true;  // what goes at its end
    const DxfTag& tag = view.tags[i];
    if (tag.code == 102 && TrimDxf(tag.value) == "{ACAD_XDICTIONARY") skipping = true;
    if (skipping) {
        skipping = !(tag.code == 102 && TrimDxf(tag.value) == "}");
        return true;
    }
    if (i == table.tableFlagsAt) {
        job.out.Integer(tag.code, table.tableFlags);
        return true;
    }
    if (std::find(table.flags.begin(), table.flags.end(), i) != table.flags.end()) {
        job.out.Integer(tag.code, tag.integer | 0x20);  // its text height: its own
        return true;
    }
    return false;
}

void EmitRecord(Rewrite& job, RecordView& view) {
    view.type = TypeOf(view.tags);
    view.parts = PartsOf(view.tags);
    view.roles = RolesOf(view.tags, view.parts, view.type);
    view.yOf = YPartners(view.tags, view.parts, view.roles);
    view.entityGroupsEnd = EntityGroupsEnd(view.tags);
    const TextFix fix = TextFixOf(job, view, Part::Own);
    const Additions add = AdditionsOf(job, view, fix);
    std::vector<std::optional<double>> placedY(view.tags.size());  // a y placed with its x
    bool skipping = false;  // inside a 102 group a copy leaves out
    // A scaled table: its cells' inherited heights and its margins written as its own.
    const bool scaledTable = view.type == "ACAD_TABLE" && job.sum.factor != 1.0;
    const DxfTableScaleEdits table =
        scaledTable ? DxfTableScaleEditsOf(job.source, view.tags, view.parts, job.sum.factor)
                    : DxfTableScaleEdits{};
    for (std::size_t i = 0; i < view.tags.size(); ++i) {
        EmitAdditions(job, view, add, fix, i);
        if (scaledTable && EmitTableScale(job, view, table, i, skipping)) continue;
        if (EmitIdentity(job, view, i, skipping)) continue;
        if (!job.placements.empty() && ProxyGraphics(view, i)) continue;
        EmitPlaced(job, view,
                   view.parts[i] == Part::Own ? fix : TextFixOf(job, view, view.parts[i]), i,
                   placedY);
    }
    EmitAdditions(job, view, add, fix, view.tags.size());
    if (scaledTable) (void)EmitTableScale(job, view, table, view.tags.size(), skipping);
}

}  // namespace

std::size_t DxfRecordEnd(const DxfSource& source, std::size_t record) {
    const std::string type = DxfRecordType(source, record);
    if (type != "POLYLINE" && type != "INSERT") return record + 1;
    std::size_t end = record + 1;
    while (end + 1 < source.records.size()) {
        const std::string next = DxfRecordType(source, end);
        if (next == "SEQEND") return end + 1;
        if (next != "VERTEX" && next != "ATTRIB") break;
        ++end;
    }
    return type == "INSERT" ? record + 1 : end;
}

std::string DxfRecordType(const DxfSource& source, std::size_t record) {
    if (record + 1 >= source.records.size()) return {};
    const std::string_view bytes = source.bytes;
    DxfTagReader reader(bytes.substr(0, source.records[record + 1]), source.layout,
                        source.fileName);
    reader.Seek(source.records[record], 1);
    DxfTag tag;
    try {
        if (reader.Next(tag) && tag.code == 0) return std::string(TrimDxf(tag.value));
    } catch (const FileError&) {
        return {};
    }
    return {};
}

namespace {

// One past the last record that belongs to record, whose tags are head (read once: an edit of
// many records checks and rewrites each).
std::size_t RecordEndAfter(const DxfSource& source, std::size_t record,
                           const std::vector<DxfTag>& head) {
    const std::string_view type =
        head.empty() || head.front().code != 0 ? std::string_view() : TrimDxf(head.front().value);
    return type == "POLYLINE" || type == "INSERT" ? DxfRecordEnd(source, record) : record + 1;
}

// placement: the one asked for (a table only moves); null: any.
std::string RefusalOf(const DxfSource& source, std::size_t record,
                      const RecordPlacement* placement) {
    if (PlainlyPlaceable(source, record)) return {};  // most records of most drawings
    std::vector<DxfTag> head;
    try {
        head = ReadTags(source, record);
    } catch (const FileError&) {
        return DxfRecordType(source, record) +
               " は読めない部分があるため、移動・回転・複写できません";
    }
    const std::size_t end = RecordEndAfter(source, record, head);
    const std::string kind = TypeOf(head);
    for (std::size_t r = record; r < end; ++r) {
        std::vector<DxfTag> tags;
        try {
            tags = r == record ? std::exchange(head, {}) : ReadTags(source, r);
        } catch (const FileError&) {
            return kind + " は読めない部分があるため、移動・回転・複写できません";
        }
        const std::string type = TypeOf(tags);
        if (IsDxfDimensionType(type)) {
            if (std::string refusal = DxfDimensionRefusal(source, r); !refusal.empty()) {
                return refusal;
            }
        }
        if (type == "MULTILEADER") {
            if (std::string refusal = MultiLeaderRefusal(tags, PartsOf(tags)); !refusal.empty()) {
                return refusal;
            }
        }
        if (type == "ACAD_TABLE" && placement != nullptr) {
            if (std::string refusal = TableRefusal(*placement); !refusal.empty()) return refusal;
            if (std::string refusal = DxfTableScaleRefusal(source, r, placement->factor);
                !refusal.empty()) {
                return refusal;
            }
        }
        if (!PlaceableTypes().contains(type)) {
            return (type.empty() ? std::string("この図形") : type) +
                   " は形を正確に移す方法が分からないため、移動・回転・複写できません";
        }
        const std::array<double, 3> z = ExtrusionOf(tags);
        // An underlay's angle is taken in its own plane; upside down it would turn the other
        // way, which no file here shows: refused rather than guessed.
        const bool upsideDown =
            z[2] < 0.0 && (type.ends_with("UNDERLAY") || IsDxfDimensionType(type));
        if (!AlongZ(z) || upsideDown) {
            return kind + " (押し出し方向が Z 軸に沿わないもの) は移動・回転・複写できません";
        }
    }
    return {};
}

}  // namespace

std::string DxfPlacementRefusal(const DxfSource& source, std::size_t record) {
    return RefusalOf(source, record, nullptr);
}

std::string DxfPlacementRefusal(const DxfSource& source, std::size_t record,
                                const RecordPlacement& placement) {
    return RefusalOf(source, record, &placement);
}

std::string DxfCopyRefusal(const DxfSource& source, std::size_t record) {
    const std::size_t end = DxfRecordEnd(source, record);
    const std::string kind = DxfRecordType(source, record);
    for (std::size_t r = record; r < end; ++r) {
        std::vector<DxfTag> tags;
        try {
            tags = ReadTags(source, r);
        } catch (const FileError&) {
            return kind + " は読めない部分があるため、複写できません";
        }
        // A dimension's copy takes a copy of its block: what that holds must copy too.
        for (const std::size_t c : IsDxfDimensionType(TypeOf(tags)) ? DxfDimensionContent(source, r)
                                                                    : std::vector<std::size_t>{}) {
            if (!DxfCopyRefusal(source, c).empty() || DxfCopyTakesObjects(source, c)) {
                return "寸法 (DIMENSION) は複写できません (寸法の図形の " +
                       DxfRecordType(source, c) +
                       " が持つオブジェクトを複写で作れないため)。移動・回転はできます";
            }
        }
        // A table's copy takes a copy of its block (as it is): what that holds must copy too.
        if (const auto block =
                TypeOf(tags) == "ACAD_TABLE" ? DxfTableBlock(source, r) : std::nullopt) {
            for (std::size_t c = block->block + 1; c < block->end;) {
                if (!DxfCopyRefusal(source, c).empty() || DxfCopyTakesObjects(source, c)) {
                    return "ACAD_TABLE (表) は複写できません (表の図形の " +
                           DxfRecordType(source, c) +
                           " が持つオブジェクトを複写で作れないため)。移動・回転・鏡像はできます";
                }
                c = std::max(c + 1, DxfRecordEnd(source, c));
            }
        }
        // An image's reactor (360) is made anew for its copy (dxf_object_copy).
        const std::string type = TypeOf(tags);
        const bool image = type == "IMAGE" || type == "WIPEOUT";
        const std::vector<Part> parts = PartsOf(tags);
        for (std::size_t i = 0; i < tags.size(); ++i) {
            const std::string_view value = TrimDxf(tags[i].value);
            if (parts[i] == Part::Own && tags[i].code == 360 && value != "0" && !value.empty() &&
                !image) {
                return kind +
                       " は複写できません (図形が持つオブジェクト (画像の定義とつなぐものなど) "
                       "を複写で作れないため)。移動・回転はできます";
            }
        }
    }
    return {};
}

std::string RewriteDxfRecord(const DxfSource& source, std::size_t record,
                             const std::vector<RecordPlacement>& placements,
                             std::string_view layerName, bool copy, std::uint64_t& nextHandle,
                             std::size_t* recordEnd) {
    DxfEmitter out(source.layout);
    std::vector<DxfTag> head = ReadTags(source, record);
    // A table takes a mirror as the turn that keeps it reading forwards.
    std::vector<RecordPlacement> table;
    if (TypeOf(head) == "ACAD_TABLE")
        table = TablePlacements(ReadTableFrame(head, PartsOf(head)), placements);
    Rewrite job{source,
                TypeOf(head) == "ACAD_TABLE" ? table : placements,
                SumOf(TypeOf(head) == "ACAD_TABLE" ? table : placements),
                layerName,
                copy,
                nextHandle,
                {},
                out};
    const std::size_t end = RecordEndAfter(source, record, head);
    if (recordEnd != nullptr) *recordEnd = end;
    bool planeMirrored = false;  // a polyline's vertices follow its plane system
    for (std::size_t r = record; r < end; ++r) {
        RecordView view;
        view.tags = r == record ? std::exchange(head, {}) : ReadTags(source, r);
        const std::string type = TypeOf(view.tags);
        const bool upsideDown = ExtrusionOf(view.tags)[2] < 0.0;
        if (r == record || type != "VERTEX") planeMirrored = PlaneCoordinates(type) && upsideDown;
        view.head = r == record;
        view.planeMirrored = planeMirrored;
        // An MTEXT's and a shape's points are the drawing's, their angles their plane's.
        view.anglesMirrored = planeMirrored || ((type == "MTEXT" || type == "SHAPE") && upsideDown);
        // A mirror turns a shape (a symbol, not a text) and a leader's arrowheads over.
        view.turnsOver = job.sum.mirrored && (type == "SHAPE" || type == "LEADER");
        EmitRecord(job, view);
    }
    return std::move(out.Out());
}

std::string DxfSource::RecordKind(std::uint32_t record) const {
    return DxfRecordType(*this, record);
}

std::string DxfSource::RecordLinetype(std::uint32_t record) const {
    try {
        for (const DxfTag& tag : ReadTags(*this, record)) {
            if (tag.code >= 1000) break;
            if (tag.code == 6) return DecodeDxfString(TrimDxf(tag.value), version, codePage);
        }
    } catch (const FileError&) {
        return {};
    }
    return {};
}

std::string DxfSource::RecordColourName(std::uint32_t record) const {
    std::string number;
    try {
        for (const DxfTag& tag : ReadTags(*this, record)) {
            if (tag.code >= 1000) break;
            // A true colour wins over the colour number written beside it for older programs.
            if (tag.code == 420) return "トゥルーカラー";
            if (tag.code == 62) number = TrimDxf(tag.value);
        }
    } catch (const FileError&) {
        return {};
    }
    // A negative number only means something on a layer; the board draws such a record by layer.
    if (number.empty() || number == "256" || number.front() == '-') return "BYLAYER";
    if (number == "0") return "BYBLOCK";
    return number;
}

std::string DxfSource::PlacementRefusal(std::uint32_t record) const {
    return DxfPlacementRefusal(*this, record);
}

std::string DxfSource::PlacementRefusalFor(std::uint32_t record,
                                           const RecordPlacement& placement) const {
    return DxfPlacementRefusal(*this, record, placement);
}

RecordPlacement DxfSource::PlacementOf(std::uint32_t record,
                                       const std::vector<RecordPlacement>& earlier,
                                       const RecordPlacement& placement) const {
    if (!placement.mirror || DxfRecordType(*this, record) != "ACAD_TABLE") return placement;
    const std::vector<DxfTag> tags = ReadTags(*this, record);
    std::vector<RecordPlacement> all = earlier;
    all.push_back(placement);
    return TablePlacements(ReadTableFrame(tags, PartsOf(tags)), all).back();
}

std::string DxfSource::CopyRefusal(std::uint32_t record) const {
    return DxfCopyRefusal(*this, record);
}

}  // namespace pelimator::board
