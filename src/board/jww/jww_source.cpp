// What a JWW drawing keeps beside the board's entities: its layer table, group scales, pen
// names, entity fingerprints and the report shown after opening it.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "board/jww/jww_file.h"
#include "board/jww/jww_underlay.h"

namespace pelimator::board {
std::vector<LayerData> JwwLayerTable(const jww::Header& header) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::vector<LayerData> layers;
    layers.reserve(256);
    for (std::size_t g = 0; g < 16; ++g) {
        for (std::size_t l = 0; l < 16; ++l) {
            LayerData layer;
            layer.number = static_cast<std::int32_t>(g * 16 + l);
            layer.name = {kHex[g], '-', kHex[l]};
            const std::string& name = header.layerName[g][l];
            if (!name.empty()) layer.name += " " + name;
            layer.visible = header.groupState[g] != 0 && header.layerState[g][l] != 0;
            layers.push_back(std::move(layer));
        }
    }
    return layers;
}

std::optional<std::pair<std::int32_t, std::int32_t>> JwwScaleRatio(double scale) {
    if (!std::isfinite(scale) || scale < 1e-6 || scale > 1e9) return std::nullopt;
    for (std::int32_t k = 1; k <= 1000; ++k) {
        const double n = scale * k;
        const double whole = std::round(n);
        if (whole >= 1.0 && std::abs(n - whole) <= 1e-9 * std::max(1.0, n)) {
            return std::pair{k, static_cast<std::int32_t>(whole)};
        }
    }
    return std::pair{1, static_cast<std::int32_t>(std::max(1.0, std::round(scale)))};
}

namespace {

// A group scale the board can use: 1:10^-6 to 1:10^9; anything else (0, a denormal number) is
// taken as 1:1, so a group's factor stays within 10^15 either way.
double UsableScale(double scale) {
    return std::isfinite(scale) && scale >= 1e-6 && scale <= 1e9 ? scale : 1.0;
}

}  // namespace

double JwwSource::GroupScale(std::size_t group) const {
    return UsableScale(header.scale[group & 0xFU]);
}

std::optional<double> JwwSource::RealPerPaper(std::int32_t layer) const {
    return GroupScale(GroupAndLayer(layer).first);
}

std::optional<Box> JwwSource::Paper() const {
    const std::optional<std::array<double, 2>> size = jww::PaperSizeMm(header.paper);
    if (!size) return std::nullopt;
    const Vec2 half{(*size)[0] / 2.0, (*size)[1] / 2.0};
    return Box{-1.0 * half, half};
}

DocumentSource::PenNames JwwSource::EntityPenNames(std::size_t entity) const {
    if (entity >= entityPen.size()) return {};
    const std::uint32_t pen = entityPen[entity];
    return {jww::PenColourName(header, static_cast<std::uint16_t>(pen >> 8U)),
            jww::LineTypeName(header, static_cast<std::uint8_t>(pen & 0xFFU))};
}

std::pair<std::uint16_t, std::uint16_t> JwwSource::GroupAndLayer(std::int32_t number) const {
    if (number >= 0 && number < 256) {
        return {static_cast<std::uint16_t>(number / 16), static_cast<std::uint16_t>(number % 16)};
    }
    const std::uint32_t group = header.writeGroup & 0xFU;
    return {static_cast<std::uint16_t>(group),
            static_cast<std::uint16_t>(header.writeLayer[group] & 0xFU)};
}

std::int32_t JwwSource::WriteLayer() const {
    const auto [group, layer] = GroupAndLayer(-1);
    return group * 16 + layer;
}

std::uint64_t JwwEntityPrint(const EntityData& e) noexcept {
    std::uint64_t hash = 1469598103934665603ULL;
    const auto mix = [&](std::uint64_t value) {
        hash ^= value;
        hash *= 1099511628211ULL;
    };
    const auto bits = [](double value) {
        std::uint64_t out = 0;
        std::memcpy(&out, &value, sizeof out);
        return out;
    };
    mix(static_cast<std::uint64_t>(e.kind) | (e.visible ? std::uint64_t{1} << 8U : 0U));
    mix(static_cast<std::uint32_t>(e.layer));
    mix((static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.style)) << 32U) |
        static_cast<std::uint32_t>(e.subStyle));
    for (const Vec2 v : {e.start, e.end, e.center}) {
        mix(bits(v.x));
        mix(bits(v.y));
    }
    mix(bits(e.radius));
    return hash;
}

std::string JwwOpenReport::LeftOutText() const {
    if (leftOut == 0) return {};
    return "表示の作業量が上限 (" + std::to_string(workLimit / 10'000) +
           " 万) に達したので、図形 " + std::to_string(leftOut) +
           " 個は一部または全部を表示しません (ブロックの入れ子が多すぎます。ファイルにはそのまま"
           "残ります)";
}

std::string JwwOpenReport::Summary() const {
    std::string text = "JWW (版 " + std::to_string(version) + ") 線 " + std::to_string(lines) +
                       " 本、円弧 " + std::to_string(arcs) + " 本を読み込みました";
    if (!shownKinds.empty()) {
        text += " (下に表示: ";
        bool first = true;
        for (const auto& [kind, count] : shownKinds) {
            if (!first) text += "、";
            first = false;
            text += kind + " " + std::to_string(count);
        }
        text += ")";
    }
    if (const std::string leftOutText = LeftOutText(); !leftOutText.empty()) {
        text += "。" + leftOutText;
    }
    return text;
}

}  // namespace pelimator::board
