// Helpers shared by the drawing file tests: temporary folders, random drawings and comparison.
#include "board/dxf/dxf_test_support.h"

#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace pelimator::board::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelimator-io-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

DrawingContent RandomContent(std::mt19937_64& random, std::size_t entityCount) {
    static const std::vector<std::string> kNames = {
        "波線", "ジグザグ線", "外形",      "Layer A",  "layer a",  "a/b:c", "寸法 補助",
        "0",    "12",         "DEFPOINTS", "名前<>?*", "  空白  ", "",
    };
    std::uniform_int_distribution<int> pick(0, 1'000'000);
    std::uniform_real_distribution<double> coordinate(-5000.0, 5000.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    DrawingContent content;
    content.layers.push_back({0, pick(random) % 2 == 0 ? "0" : "基準", {}, true});
    const int layerCount = 1 + pick(random) % 8;
    for (int i = 0; i < layerCount; ++i) {
        LayerData layer;
        do {
            layer.number = pick(random) % 3 == 0 ? -pick(random) : pick(random) % 200 + 1;
        } while (std::any_of(content.layers.begin(), content.layers.end(),
                             [&](const LayerData& l) { return l.number == layer.number; }));
        layer.name = kNames[static_cast<std::size_t>(pick(random)) % kNames.size()];
        if (layer.name.empty() || layer.name.front() == ' ') {
            layer.name = std::to_string(layer.number);  // the board never keeps these as they are
        }
        layer.colour = {static_cast<std::uint8_t>(pick(random) % 256),
                        static_cast<std::uint8_t>(pick(random) % 256),
                        static_cast<std::uint8_t>(pick(random) % 256)};
        layer.visible = pick(random) % 4 != 0;
        content.layers.push_back(layer);
    }
    for (std::size_t i = 0; i < entityCount; ++i) {
        const std::int32_t layer =
            content.layers[static_cast<std::size_t>(pick(random)) % content.layers.size()].number;
        const Vec2 a{coordinate(random), coordinate(random)};
        if (pick(random) % 2 == 0) {
            content.entities.push_back(
                MakeLine(a, {coordinate(random), coordinate(random)}, layer));
        } else {
            const double radius = 0.001 + unit(random) * 300.0;
            const double from = unit(random) * 6.283185307179586;
            const double to = pick(random) % 10 == 0 ? from : unit(random) * 6.283185307179586;
            EntityData arc = MakeArc(a, a + radius * Vec2{std::cos(from), std::sin(from)},
                                     a + radius * Vec2{std::cos(to), std::sin(to)}, layer);
            arc.radius = radius;
            content.entities.push_back(arc);
        }
    }
    content.scaleNumerator = pick(random) % 3 == 0 ? 1 + pick(random) % 5 : 1;
    content.scaleDenominator = 1 + pick(random) % 500;
    return content;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

}  // namespace pelimator::board::testing
