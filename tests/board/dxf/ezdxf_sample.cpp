// Writes a random drawing as DXF and, beside it, a JSON listing of what the board held, for the
// independent reader check (ezdxf_check.py).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>

#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_test_support.h"
#include "board/files/drawing_file.h"

namespace {

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20U) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x", c);
            out += escaped.data();
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Number(double value) {
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.17g", value);
    return buffer.data();
}

}  // namespace

// Opens a drawing, adds a line and an arc on a new layer "波線" and makes it the current layer
// (and, with "same", nothing), and saves it under another name: what a user does to a drawing
// from another program. Prints the current layer's name and the unit's number as opened.
int AddToDrawing(const std::string& mode, const std::string& input, const std::string& output) {
    using namespace pelimator::board;
    const auto application = BoardApplication::Create();
    const OpenedDrawing opened = OpenDrawing(*application, input);
    BoardDocument& document = *opened.document;
    const LayerData* current =
        document.LayerTable()->Find(document.CurrentAttributesModel()->Layer());
    std::cout << "current layer: " << (current != nullptr ? current->name : "?")
              << "\nunit: " << document.UnitCode() << "\n";
    if (mode == "add") {
        document.LayerTable()->Put({5, "波線", {10, 200, 30}, true});
        document.DrawingModel()->AddEntity(MakeLine({1, 2}, {30, 40}, 5));
        document.DrawingModel()->AddEntity(MakeArc({0, 0}, {10, 0}, {0, 10}, 5));
        document.CurrentAttributesModel()->SetLayer(5);
    }
    for (const std::string& loss : SaveLosses(document)) std::cerr << loss << "\n";
    SaveDrawing(document, output);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 5) return AddToDrawing(argv[1], argv[2], argv[3] + std::string() + argv[4]);
    if (argc != 3) {
        std::cerr << "usage: ezdxf_sample <output.dxf> <listing.json>\n"
                     "       ezdxf_sample add|same <input.dxf> <output folder/> <name>\n";
        return 2;
    }
    using namespace pelimator::board;
    std::mt19937_64 random(20261207);
    const DrawingContent content = testing::RandomContent(random, 400);
    WriteDxfFile(argv[1], content);

    std::ofstream out(argv[2]);
    out << "{\"scale\": [" << content.scaleNumerator << ", " << content.scaleDenominator
        << "],\n \"layers\": [\n";
    for (std::size_t i = 0; i < content.layers.size(); ++i) {
        const LayerData& layer = content.layers[i];
        out << "  {\"number\": " << layer.number << ", \"name\": " << Quote(layer.name)
            << ", \"rgb\": [" << int{layer.colour.r} << ", " << int{layer.colour.g} << ", "
            << int{layer.colour.b} << "], \"visible\": " << (layer.visible ? "true" : "false")
            << "}" << (i + 1 < content.layers.size() ? ",\n" : "\n");
    }
    out << " ],\n \"entities\": [\n";
    for (std::size_t i = 0; i < content.entities.size(); ++i) {
        const EntityData& e = content.entities[i];
        out << "  {\"kind\": \"" << (e.kind == EntityKind::Line ? "LINE" : "ARC")
            << "\", \"layer\": " << e.layer << ", \"start\": [" << Number(e.start.x) << ", "
            << Number(e.start.y) << "], \"end\": [" << Number(e.end.x) << ", " << Number(e.end.y)
            << "], \"center\": [" << Number(e.center.x) << ", " << Number(e.center.y)
            << "], \"radius\": " << Number(e.radius) << "}"
            << (i + 1 < content.entities.size() ? ",\n" : "\n");
    }
    out << " ]}\n";
    return out ? 0 : 1;
}
