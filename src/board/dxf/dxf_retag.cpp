// Re-tagging records for another file: what ties a record to its file renumbered, every other
// group carried as written (converted only where the forms or code pages differ).
#include "board/dxf/dxf_retag.h"

#include "board/dxf/dxf_dimension_block.h"
#include "board/dxf/dxf_record_roles.h"

namespace pelimator::board {

using dxf_roles::TypeOf;

namespace {

std::string Decoded(const DxfSource& source, std::string_view raw) {
    return DecodeDxfString(TrimDxf(raw), source.version, source.codePage);
}

std::string HandleKey(std::string_view value) { return LayerKey(TrimDxf(value)); }

std::string HexBytes(std::string_view hex) {
    std::string bytes;
    const auto digit = [](char c) {
        return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;  // NOLINT(hicpp-signed-bitwise)
    };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
    return bytes;
}

// A binary file's text may hold line ends, which an ASCII line cannot: the line break the
// record's kind writes in ASCII (a tolerance's "^J", a multiline text's new paragraph "\P") for
// a line end, a blank for any other control character.
std::string OnOneLine(std::string_view text, std::string_view lineBreak) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n') {
            line += lineBreak;
        } else {
            line += c < 0x20 && c != '\t' ? ' ' : static_cast<char>(c);
        }
    }
    return line;
}

void EmitConverted(DxfRetag& job, std::string_view type, const DxfTag& tag) {
    const DxfValueKind kind = ValueKindOf(tag.code);
    const bool ascii = job.from.layout.form == DxfForm::Ascii;
    if (kind == DxfValueKind::Text || kind == DxfValueKind::Unknown) {
        std::string text(tag.value);
        if (!ascii && job.to.layout.form == DxfForm::Ascii)
            text = OnOneLine(text, type == "TOLERANCE" ? "^J" : "\\P");
        if (job.SameEncoding()) {
            job.out.Text(tag.code, text);
        } else {
            job.Name(tag.code, DecodeDxfString(text, job.from.version, job.from.codePage));
        }
        return;
    }
    if (ascii && job.to.layout.form == DxfForm::Ascii) {
        job.out.Text(tag.code, tag.value);
        return;
    }
    switch (kind) {
        case DxfValueKind::Real:
            job.out.Real(tag.code, tag.real);
            return;
        case DxfValueKind::Bytes:
            job.out.Chunk(tag.code, ascii ? HexBytes(TrimDxf(tag.value)) : std::string(tag.value));
            return;
        default:
            job.out.Integer(tag.code, tag.integer);
    }
}

// The groups that tie a record to its file; true when tag i was dealt with.
bool EmitTie(DxfRetag& job, const std::string& type, const DxfTag& tag, std::size_t i,
             bool& owned) {
    if ((tag.code == 5 || (tag.code == 105 && type == "DIMSTYLE")) && i < 3) {
        if (!job.to.handles) return true;
        const auto reserved = job.reserved.find(HandleKey(tag.value));
        const std::uint64_t handle = reserved != job.reserved.end() ? reserved->second : job.next++;
        job.handles[HandleKey(tag.value)] = HandleText(handle);
        job.out.Handle(tag.code, handle);
        return true;
    }
    if (tag.code != 330) return false;
    const auto found = job.handles.find(HandleKey(tag.value));
    if (found != job.handles.end()) {
        job.out.Text(330, found->second);
    } else if (!owned && !job.owner.empty()) {
        job.out.Text(330, job.owner);
    } else {
        return false;
    }
    owned = true;
    return true;
}

// The names a record gives that change in the target; true when tag was dealt with.
bool EmitName(DxfRetag& job, const std::string& type, const DxfTag& tag, bool head) {
    if (tag.code == 8 && !job.layer.empty() && (head || type != "ATTRIB")) {
        job.Name(8, job.layer);
        return true;
    }
    if (tag.code == 2 && (type == "INSERT" || IsDxfDimensionType(type) || type == "ACAD_TABLE") &&
        job.blockNames != nullptr) {
        const auto found =
            job.blockNames->find({&job.from, LayerKey(Decoded(job.from, tag.value))});
        if (found == job.blockNames->end()) return false;
        job.Name(2, found->second);
        return true;
    }
    if (!job.name.empty() && ((type == "BLOCK" && (tag.code == 2 || tag.code == 3)) ||
                              (type == "BLOCK_RECORD" && tag.code == 2))) {
        job.Name(tag.code, job.name);
        return true;
    }
    return false;
}

// A handle in extended data written for the target; true when tags[i] was dealt with (i past
// an override left out).
bool EmitXdataHandle(DxfRetag& job, const std::vector<DxfTag>& tags, std::size_t& i,
                     bool overrides) {
    const DxfTag& tag = tags[i];
    if (tag.code == 1005) {
        const std::string handle = job.xdataHandle(HandleKey(tag.value));
        job.out.Text(1005, handle.empty() ? "0" : handle);
        return true;
    }
    // A dimension style's override: the variable's number (1070), then its value.
    if (tag.code == 1070 && overrides && i + 1 < tags.size() && tags[i + 1].code == 1005 &&
        job.xdataHandle(HandleKey(tags[i + 1].value)).empty()) {
        ++i;
        return true;
    }
    return false;
}

}  // namespace

std::string HandleText(std::uint64_t handle) {
    DxfEmitter out(DxfLayout{});  // ASCII: "  5\n<handle>\n"
    out.Handle(5, handle);
    return out.Out().substr(4, out.Out().size() - 5);
}

void RetagDxfRecord(DxfRetag& job, const std::vector<DxfTag>& tags, bool head) {
    const std::string type = TypeOf(tags);
    bool xdata = false;
    bool skipping = false;  // inside a reactor or dictionary group, which the copy leaves out
    bool owned = false;
    std::string_view app;
    bool overrides = false;  // within ACAD's dimension-style overrides (1000 DSTYLE)
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const DxfTag& tag = tags[i];
        xdata = xdata || tag.code == 1001;
        if (tag.code == 1001) {
            app = TrimDxf(tag.value);
            overrides = false;
        }
        if (xdata && tag.code == 1000) overrides = app == "ACAD" && TrimDxf(tag.value) == "DSTYLE";
        if (xdata && job.xdataHandle && EmitXdataHandle(job, tags, i, overrides)) continue;
        if (!xdata && tag.code == 102) {
            const std::string_view value = TrimDxf(tag.value);
            if (value == "{ACAD_REACTORS" || value == "{ACAD_XDICTIONARY") {
                skipping = true;
                continue;
            }
            if (skipping && value == "}") {
                skipping = false;
                continue;
            }
        }
        if (skipping) continue;
        if (!xdata && tag.code >= 340 && tag.code <= 349) {
            if (const auto found = job.pointers.find(HandleKey(tag.value));
                found != job.pointers.end()) {
                job.out.Text(tag.code, found->second);
                continue;
            }
        }
        if (!xdata && (EmitTie(job, type, tag, i, owned) || EmitName(job, type, tag, head)))
            continue;
        EmitConverted(job, type, tag);
    }
}

void RetagDxfBytes(DxfRetag& job, std::string_view bytes) {
    DxfLayout layout = job.from.layout;
    layout.begin = 0;
    DxfTagReader reader(bytes, layout, job.from.fileName);
    std::vector<DxfTag> record;
    bool head = true;
    for (DxfTag tag; reader.Next(tag);) {
        if (tag.code == 0 && !record.empty()) {
            RetagDxfRecord(job, record, head);
            head = false;
            record.clear();
        }
        record.push_back(tag);
    }
    if (!record.empty()) RetagDxfRecord(job, record, head);
}
}  // namespace pelimator::board
