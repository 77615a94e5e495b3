// What the JWW tests ask of Pelimator: a file read and listed as JSON, opened and saved, or the
// error it raises.
//   jww_probe dump FILE          everything read, as JSON on stdout
//   jww_probe save IN OUT        opened as the board opens it, saved to OUT (format by OUT)
//   jww_probe losses IN OUT      what saving to OUT would lose, one line each
//   jww_probe error FILE         the message opening FILE raises ("ok" when none)
//   jww_probe big OUT N          writes a new JWW of N lines and arcs (for measurements)
//   jww_probe edit IN OUT RECORD erase | move DX DY | copy DX DY | rotate PX PY DEGREES |
//             layer N
//                                opened as the board opens it, the entity list's record RECORD
//                                edited as a drafter edits it, saved to OUT; lengths in the file's
//                                coordinates, paper mm (the board's own)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"
#include "board/jww/jww_format.h"
#include "board/jww/jww_text.h"
#include "board/model/application.h"
#include "board/model/edits.h"

namespace {

using namespace pelimator;
using namespace pelimator::board;

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned char>(c));
            out += code;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    std::string out = text;
    if (out == "nan" || out == "inf" || out == "-inf") return "null";
    return out;
}

std::string Point(Vec2 p) { return "[" + Number(p.x) + "," + Number(p.y) + "]"; }

std::string ShapeJson(const jww::Shape& s) {
    static const char* const kKinds[] = {"line", "arc", "point", "text", "solid", "insert"};
    std::string out = "{\"kind\":\"" + std::string(kKinds[static_cast<int>(s.kind)]) + "\"";
    const jww::Common& c = s.common;
    out += ",\"common\":[" + std::to_string(c.group) + "," + std::to_string(c.penStyle) + "," +
           std::to_string(c.penColour) + "," + std::to_string(c.penWidth) + "," +
           std::to_string(c.layer) + "," + std::to_string(c.groupLayer) + "," +
           std::to_string(c.flags) + "]";
    out += ",\"p\":[" + Point(s.p[0]) + "," + Point(s.p[1]) + "," + Point(s.p[2]) + "," +
           Point(s.p[3]) + "]";
    out += ",\"radius\":" + Number(s.radius) + ",\"start\":" + Number(s.startAngle) +
           ",\"sweep\":" + Number(s.sweep) + ",\"tilt\":" + Number(s.tilt) +
           ",\"flat\":" + Number(s.flatness) + ",\"full\":" + (s.full ? "true" : "false");
    out += ",\"temporary\":" + std::string(s.temporary ? "true" : "false") +
           ",\"code\":" + std::to_string(s.code) + ",\"textKind\":" + std::to_string(s.textKind);
    out += ",\"sizeX\":" + Number(s.sizeX) + ",\"sizeY\":" + Number(s.sizeY) +
           ",\"spacing\":" + Number(s.spacing) + ",\"angle\":" + Number(s.angle);
    out += ",\"font\":" + Quote(s.font) + ",\"text\":" + Quote(s.text) +
           ",\"rgb\":" + std::to_string(s.rgb);
    return out + "}";
}

int Dump(const std::string& path) {
    const JwwReadResult read = ReadJwwFile(path);
    const JwwSource& source = *read.source;
    std::string out = "{\"version\":" + std::to_string(source.header.version);
    out += ",\"writeLayer\":" + std::to_string(read.currentLayer);
    out += ",\"scale\":[" + std::to_string(read.content.scaleNumerator) + "," +
           std::to_string(read.content.scaleDenominator) + "]";
    out += ",\"groupScales\":[";
    for (std::size_t g = 0; g < 16; ++g) {
        out += (g > 0 ? "," : "") + Number(source.header.scale[g]);
    }
    out += "],\"layers\":[";
    for (std::size_t i = 0; i < read.content.layers.size(); ++i) {
        const LayerData& layer = read.content.layers[i];
        out += (i > 0 ? "," : "") + std::string("[") + std::to_string(layer.number) + "," +
               Quote(layer.name) + "," + (layer.visible ? "true" : "false") + "]";
    }
    out += "],\"entities\":[";
    for (std::size_t i = 0; i < read.content.entities.size(); ++i) {
        const EntityData& e = read.content.entities[i];
        out += (i > 0 ? "," : "") + std::string("{\"kind\":\"") +
               (e.kind == EntityKind::Line ? "line" : "arc") +
               "\",\"layer\":" + std::to_string(e.layer) + ",\"start\":" + Point(e.start) +
               ",\"end\":" + Point(e.end) + ",\"center\":" + Point(e.center) +
               ",\"radius\":" + Number(e.radius) +
               ",\"colour\":" + std::to_string(source.entityColour[i] & 0xFFFFFFU) + "}";
    }
    out += "],\"shapes\":[";
    for (std::size_t i = 0; i < read.shapes.size(); ++i) {
        out += (i > 0 ? "," : "") + ShapeJson(read.shapes[i]);
    }
    out += "],\"blocks\":[";
    for (std::size_t i = 0; i < read.blocks.size(); ++i) {
        const jww::Block& block = read.blocks[i];
        out += (i > 0 ? "," : "") + std::string("{\"number\":") + std::to_string(block.number) +
               ",\"name\":" + Quote(block.name) + ",\"shapes\":[";
        for (std::size_t k = 0; k < block.shapes.size(); ++k) {
            out += (k > 0 ? "," : "") + ShapeJson(block.shapes[k]);
        }
        out += "]}";
    }
    out += "],\"shown\":{";
    bool first = true;
    for (const auto& [kind, count] : read.report.shownKinds) {
        out += (first ? "" : ",") + Quote(kind) + ":" + std::to_string(count);
        first = false;
    }
    out += "},\"texts\":[";
    if (read.underlay) {
        for (std::size_t i = 0; i < read.underlay->texts.size(); ++i) {
            const UnderlayText& t = read.underlay->texts[i];
            out += (i > 0 ? "," : "") + std::string("{\"utf8\":") + Quote(t.utf8) +
                   ",\"origin\":" + Point(t.origin) + ",\"x\":" + Point(t.xAxis) +
                   ",\"y\":" + Point(t.yAxis) + "}";
        }
    }
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

int Edit(BoardDocument& document, int argc, char** argv) {
    if (!document.Source() || !JwwFormat().Owns(*document.Source())) return 2;
    const std::string out = argv[3];
    Selection selection;
    selection.records = {static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10))};
    // The board shows every layer group at its paper size: moves are in the file's units.
    const std::string op = argv[5];
    const auto number = [&](int i) { return i < argc ? std::strtod(argv[i], nullptr) : 0.0; };
    if (op == "erase") {
        (void)EraseSelection(document, selection);
    } else if (op == "move") {
        (void)MoveSelection(document, selection, {number(6), number(7)});
    } else if (op == "copy") {
        (void)CopySelection(document, selection, {number(6), number(7)});
    } else if (op == "rotate") {
        (void)RotateSelection(document, selection, {number(6), number(7)}, number(8));
    } else if (op == "layer") {
        (void)ChangeLayerOfSelection(document, selection, static_cast<std::int32_t>(number(6)));
    } else {
        return 2;
    }
    for (const std::string& loss : SaveLosses(document, out)) std::puts(loss.c_str());
    SaveDrawing(document, out);
    if (document.DrawingModel()->IsModified()) std::puts("modified");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: jww_probe dump|save|losses|error FILE [OUT]\n");
        return 2;
    }
    const std::string command = argv[1];
    try {
        if (command == "big" && argc == 4) {
            const int count = std::atoi(argv[3]);
            std::vector<LayerData> layers{{0, "0", {}, true}};
            std::vector<EntityData> entities;
            entities.reserve(static_cast<std::size_t>(std::max(count, 0)));
            for (int i = 0; i < count; ++i) {
                const double x = (i % 1000) * 10.0;
                const double y = (i / 1000) * 10.0;
                entities.push_back(i % 2 == 0
                                       ? MakeLine({x, y}, {x + 8.0, y + 3.0}, i % 256)
                                       : MakeArc({x, y}, {x + 4.0, y}, {x, y + 4.0}, i % 256));
            }
            const DrawingState state{layers, entities, 1, 100};
            const JwwReadResult empty = ReadJwwBytes(NewJwwBytes(layers, 100.0), "new.jww");
            WriteJww(argv[2], *empty.source, state);
            return 0;
        }
        if (command == "dump") return Dump(argv[2]);
        if (command == "error") {
            (void)ReadJwwFile(argv[2]);
            std::puts("ok");
            return 0;
        }
        if (argc < 4) return 2;
        const auto application = BoardApplication::Create();
        const OpenedDrawing opened = OpenDrawing(*application, argv[2]);
        if (command == "losses") {
            for (const std::string& loss : SaveLosses(*opened.document, argv[3])) {
                std::puts(loss.c_str());
            }
            return 0;
        }
        if (command == "save") {
            SaveDrawing(*opened.document, argv[3]);
            return 0;
        }
        if (command == "edit" && argc >= 6) return Edit(*opened.document, argc, argv);
    } catch (const Error& error) {
        if (command == "error") {
            std::puts(error.what());
            return 0;
        }
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 2;
}
