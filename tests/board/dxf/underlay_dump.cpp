// Lists what a DXF file's underlay draws, as JSON on standard output, for checks against an
// independent reader: each polyline's points, each fill's points, each text's run and frame.
#include <array>
#include <cstdio>
#include <iostream>
#include <string>

#include "board/dxf/dxf_file.h"

namespace {

using pelimator::board::Underlay;
using pelimator::board::UnderlayKind;
using pelimator::board::Vec2;

std::string Number(double value) {
    std::array<char, 40> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.12g", value);
    return buffer.data();
}

std::string Point(Vec2 p) { return "[" + Number(p.x) + "," + Number(p.y) + "]"; }

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) >= 0x20U) out += c;
    }
    return out + "\"";
}

std::string Item(const Underlay& u, const pelimator::board::UnderlayItem& it) {
    switch (it.kind) {
        case UnderlayKind::Text: {
            const auto& t = u.texts.at(it.text);
            return "{\"kind\":\"text\",\"text\":" + Quote(t.utf8) +
                   ",\"origin\":" + Point(t.origin) + ",\"x\":" + Point(t.xAxis) +
                   ",\"y\":" + Point(t.yAxis) + ",\"h\":" + std::to_string(t.hAlign) +
                   ",\"v\":" + std::to_string(t.vAlign) + "}";
        }
        case UnderlayKind::Polyline:
        case UnderlayKind::Fill:
        case UnderlayKind::Point:
        case UnderlayKind::Segments: {
            static constexpr std::array<const char*, 5> kNames{"polyline", "fill", "", "point",
                                                               "segments"};
            std::string out = "{\"kind\":\"" +
                              std::string(kNames.at(static_cast<std::size_t>(it.kind))) +
                              "\",\"closed\":" + (it.closed ? "true" : "false") + ",\"points\":[";
            for (std::uint32_t i = 0; i < it.count; ++i) {
                out += (i == 0 ? "" : ",") + Point(u.points.at(it.first + i));
            }
            return out + "]}";
        }
    }
    return "{}";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: underlay_dump FILE.dxf\n";
        return 2;
    }
    const auto read = pelimator::board::ReadDxfFile(argv[1]);
    std::cout << "[";
    if (read.underlay) {
        const Underlay& u = *read.underlay;
        for (std::size_t i = 0; i < u.items.size(); ++i) {
            std::cout << (i == 0 ? "" : ",\n") << Item(u, u.items[i]);
        }
    }
    std::cout << "]\n";
    return 0;
}
