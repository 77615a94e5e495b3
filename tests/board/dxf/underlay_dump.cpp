// Lists what a DXF file's underlay draws, as JSON on standard output, for checks against an
// independent reader: each polyline's points, each fill's points, each text's run and frame, with
// the handle of the record it draws (and a line's or fill's colour).
#include <array>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_tags.h"

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

// A text's rules and strike-throughs: each the marked text, where it is drawn and what it is.
std::string Rules(const pelimator::board::UnderlayText& t) {
    const auto lines = pelimator::board::TextRuleLines(t);
    std::string out = "[";
    std::size_t k = 0;
    const auto add = [&](const pelimator::board::TextRule& rule, const char* kind) {
        if (rule.from >= rule.to || rule.to > t.utf8.size() || k >= lines.size()) return;
        out += std::string(k == 0 ? "" : ",") + "{\"kind\":\"" + kind +
               "\",\"text\":" + Quote(t.utf8.substr(rule.from, rule.to - rule.from)) +
               ",\"from\":" + Point(lines[k][0]) + ",\"to\":" + Point(lines[k][1]) + "}";
        ++k;
    };
    for (const auto& rule : t.rules) add(rule, rule.over ? "over" : "under");
    for (const auto& rule : t.strikes) add(rule, "strike");
    return out + "]";
}

std::string Item(const Underlay& u, const pelimator::board::UnderlayItem& it) {
    switch (it.kind) {
        case UnderlayKind::Text: {
            const auto& t = u.texts.at(it.text);
            return "{\"kind\":\"text\",\"text\":" + Quote(t.utf8) +
                   ",\"origin\":" + Point(t.origin) + ",\"x\":" + Point(t.xAxis) +
                   ",\"y\":" + Point(t.yAxis) + ",\"h\":" + std::to_string(t.hAlign) +
                   ",\"v\":" + std::to_string(t.vAlign) + ",\"rules\":" + Rules(t) + "}";
        }
        case UnderlayKind::Polyline:
        case UnderlayKind::Fill:
        case UnderlayKind::Point:
        case UnderlayKind::Segments: {
            static constexpr std::array<const char*, 5> kNames{"polyline", "fill", "", "point",
                                                               "segments"};
            std::string out = "{\"kind\":\"" +
                              std::string(kNames.at(static_cast<std::size_t>(it.kind))) +
                              "\",\"closed\":" + (it.closed ? "true" : "false") + ",\"colour\":[" +
                              std::to_string(it.colour.r) + "," + std::to_string(it.colour.g) +
                              "," + std::to_string(it.colour.b) + "],\"points\":[";
            for (std::uint32_t i = 0; i < it.count; ++i) {
                out += (i == 0 ? "" : ",") + Point(u.points.at(it.first + i));
            }
            return out + "]}";
        }
    }
    return "{}";
}

// The handle (group 5) of record r of the file; "" when it has none.
std::string HandleOf(const pelimator::board::DxfSource& source, std::uint32_t r) {
    if (r == pelimator::board::kNoUnderlayIndex || r + 1U >= source.records.size()) return "";
    pelimator::board::DxfTagReader reader(source.bytes, source.layout, source.fileName);
    reader.Seek(source.records[r], 1);
    pelimator::board::DxfTag tag;
    while (reader.Offset() < source.records[r + 1U] && reader.Next(tag)) {
        if (tag.code == 5) return std::string(pelimator::board::TrimDxf(tag.value));
    }
    return "";
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
        std::map<std::uint32_t, std::string> handles;
        for (std::size_t i = 0; i < u.items.size(); ++i) {
            std::string item = Item(u, u.items[i]);
            const std::uint32_t record = u.items[i].record;
            auto found = handles.find(record);
            if (found == handles.end()) {
                found = handles.emplace(record, HandleOf(*read.source, record)).first;
            }
            item.insert(1, "\"handle\":" + Quote(found->second) + ",");
            std::cout << (i == 0 ? "" : ",\n") << item;
        }
    }
    std::cout << "]\n";
    return 0;
}
