// The DXF reader's tables: header variables, layers and linetypes, the plot style dictionaries,
// and the board's layers numbered from the names a file uses.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <set>
#include <unordered_map>

#include "base/errors.h"
#include "base/file.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_reader_parser.h"
#include "board/model/units.h"

namespace pelimator::board::reader {

namespace {

std::optional<std::int32_t> PlainNumber(std::string_view name) {
    if (name.empty() || name.size() > 10) return std::nullopt;
    if (name.size() > 1 && name.front() == '0') return std::nullopt;
    long long value = 0;
    for (const char c : name) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::pair<std::int32_t, std::int32_t>> ParseScale(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto numerator = PlainNumber(TrimDxf(text.substr(0, colon)));
    const auto denominator = PlainNumber(TrimDxf(text.substr(colon + 1)));
    if (!numerator || !denominator || *numerator <= 0 || *denominator <= 0) return std::nullopt;
    return std::pair{*numerator, *denominator};
}

// Board numbers of the file's layers: the number Pelimator stored, else a name that is a plain
// number, else the next number above all taken ("0" is always layer 0, and taken).
std::vector<std::int32_t> NumberLayers(const std::vector<std::optional<std::int32_t>>& stored,
                                       const std::vector<std::string>& names) {
    std::vector<std::optional<std::int32_t>> numbers(stored.size());
    std::set<std::int32_t> used;
    for (std::size_t b = 0; b < stored.size(); ++b) {
        if (stored[b] && used.insert(*stored[b]).second) numbers[b] = stored[b];
    }
    for (std::size_t b = 0; b < stored.size(); ++b) {
        if (numbers[b]) continue;
        const auto plain = PlainNumber(names[b]);
        if (plain && used.insert(*plain).second) numbers[b] = plain;
    }
    used.insert(0);
    std::int32_t next = *used.rbegin();
    std::vector<std::int32_t> out;
    out.reserve(stored.size());
    for (const std::optional<std::int32_t>& number : numbers) {
        if (!number) {
            do {
                next = next == std::numeric_limits<std::int32_t>::max() ? 1 : next + 1;
            } while (used.contains(next));
            used.insert(next);
        }
        out.push_back(number ? *number : next);
    }
    return out;
}

}  // namespace

void Parser::BeginTableRecord() {
    if (m_type == "TABLE") {
        if (m_table != nullptr && m_table->endTab == 0) m_table->endTab = m_tag.begin;
        m_kind = Kind::TableHead;
        m_table = nullptr;
        return;
    }
    if (m_type == "ENDTAB") {
        if (m_table != nullptr) {
            m_table->endTab = m_tag.begin;
            m_table->closed = true;
        }
        m_table = nullptr;
        m_tableName = {};
        return;
    }
    if (m_tableName == "LAYER" && m_type == "LAYER") {
        m_kind = Kind::Layer;
        m_layer = RawLayer{};
        m_layer.record = RecordIndex();
    } else if (m_tableName == "APPID") {
        m_kind = Kind::Appid;
    } else if (m_tableName == "BLOCK_RECORD") {
        m_kind = Kind::BlockRecord;
        m_blockHandle = {};
    } else if (m_tableName == "LTYPE") {
        m_kind = Kind::Ltype;
        m_ltypeName = {};
        m_ltypeDescription = {};
        m_ltypePattern.clear();
    } else if (m_type == "DIMSTYLE") {
        m_handleCode = 105;
    }
}

void Parser::BeginObject() {
    const bool root = !m_sawObject;
    m_sawObject = true;
    if (m_type != "DICTIONARY" && m_type != "ACDBDICTIONARYWDFLT") return;
    m_kind = Kind::Dictionary;
    m_dictionary = {};
    m_dictionary.root = root;
}

void Parser::OnDictionaryTag() {
    switch (m_tag.code) {
        case 5:
            m_dictionary.handle = std::string(Value());
            break;
        case 3:
            m_dictionary.entry = Value();
            break;
        case 340:
            m_dictionary.fallback = std::string(Value());
            break;
        case 350:
        case 360:
            if (m_dictionary.root && m_dictionary.entry == "ACAD_PLOTSTYLENAME") {
                m_plotStyleDictionary = std::string(Value());
            } else if (m_dictionary.entry == "Normal") {
                m_dictionary.normal = std::string(Value());
            }
            m_dictionary.entry = {};
            break;
        default:
            break;
    }
}

void Parser::FinishDictionary() {
    std::string& style = m_dictionary.normal.empty() ? m_dictionary.fallback : m_dictionary.normal;
    if (!m_dictionary.root && !style.empty() && !m_dictionary.handle.empty()) {
        m_plotStyles.emplace(m_dictionary.handle, std::move(style));
    }
}

void Parser::FindPlotStyle() {
    if (m_source.version < "AC1015") return;
    const auto found = m_plotStyles.find(m_plotStyleDictionary);
    m_source.plotStyle = found != m_plotStyles.end() ? found->second : m_layerPlotStyle;
}

void Parser::OnHeaderTag() {
    const int code = m_tag.code;
    if (code == 9) {
        m_variable = Value();
        return;
    }
    const DxfPlace place{true, m_tag.begin, m_tag.end};
    if (m_variable == "$ACADVER" && code == 1) {
        m_source.version = std::string(Value());
    } else if (m_variable == "$DWGCODEPAGE" && code == 3) {
        m_codePage = std::string(Value());
    } else if (m_variable == "$HANDSEED" && code == 5) {
        (void)ParseHandle(m_tag.value, m_handSeed);
        m_source.handSeed = place;
    } else if (m_variable == "$LTSCALE" && code == 40) {
        m_linetypes.SetDrawingScale(m_tag.real);
    } else if (m_variable == "$HANDLING" && code == 70) {
        m_handling = m_tag.integer != 0;
    } else if (m_variable == "$DIMSCALE" && code == 40) {
        m_dimScale = m_tag.real;
        m_source.dimScale = place;
    } else if (m_variable == "$CLAYER" && code == 8) {
        m_currentLayerName = std::string(Value());
        m_source.currentLayerTag = place;
    } else if (m_variable == "$INSUNITS" && code == 70) {
        m_units = m_tag.integer;
        m_source.unitTag = place;
    } else if (m_variable == "$CUSTOMPROPERTYTAG" && code == 1) {
        m_propertyTag = Value();
    } else if (m_variable == "$CUSTOMPROPERTY" && code == 1 && m_propertyTag == kDxfScaleProperty) {
        m_exactScale = ParseScale(Value());
        m_source.scaleProperty = place;
    }
}

void Parser::OnTableHeadTag() {
    const int code = m_tag.code;
    if (code == 2) {
        m_tableName = Value();
        m_table = m_tableName == "LAYER"   ? &m_source.layerTable
                  : m_tableName == "APPID" ? &m_source.appidTable
                                           : nullptr;
        if (m_table != nullptr) m_table->found = true;
    } else if (m_table != nullptr && code == 5) {
        m_table->handle = std::string(Value());
    } else if (m_table != nullptr && code == 70) {
        m_table->count = {true, m_tag.begin, m_tag.end};
        m_table->countValue = m_tag.integer;
    }
}

void Parser::OnLayerTag() {
    switch (m_tag.code) {
        case 2:
            m_layer.name = std::string(Value());
            break;
        case 70:
            m_layer.flags = m_tag.integer;
            break;
        case 62:
            m_layer.colour = m_tag.integer;
            break;
        case 420:
            m_layer.trueColour = m_tag.integer;
            break;
        case 6:
            m_layer.linetype = Value();
            break;
        case 390:
            if (m_layerPlotStyle.empty()) m_layerPlotStyle = std::string(Value());
            break;
        case 1001:
            m_layer.ours = Value() == kDxfAppName;
            break;
        case 1071:
            if (m_layer.ours) m_layer.number = static_cast<std::int32_t>(m_tag.integer);
            break;
        case 1000:
            if (m_layer.ours) m_layer.boardName = std::string(m_tag.value);
            break;
        default:
            break;
    }
}

std::int32_t Parser::LayerOf(std::string_view name) {
    if (name.empty()) name = "0";
    if (name == m_lastLayerName) return m_lastLayer;
    auto found = m_rawIndex.find(std::string(name));
    if (found == m_rawIndex.end()) {
        found = m_rawIndex.emplace(std::string(name), m_raws.size()).first;
        RawLayer raw;
        raw.name = std::string(name);
        m_raws.push_back(std::move(raw));
    }
    m_lastLayerName = found->first;
    m_lastLayer = static_cast<std::int32_t>(found->second);
    return m_lastLayer;
}

void Parser::AddRawLayer() {
    m_linetypes.SetLayerLinetype(m_layer.name, m_layer.linetype);
    const auto [found, added] = m_rawIndex.emplace(m_layer.name, m_raws.size());
    if (!added) {
        // A name already used by entities before the table (rare): the record tells more.
        RawLayer& known = m_raws[found->second];
        if (known.record == kNoDxfRecord) {
            std::string name = known.name;
            known = m_layer;
            known.name = std::move(name);
        }
        return;  // a second record of the same name: the first one counts
    }
    m_raws.push_back(m_layer);
    m_lastLayerName = {};
}

void Parser::BuildLayers() {
    // One board layer per name (as the file compares names); boardOf maps each record to it.
    std::vector<std::size_t> boardOf(m_raws.size());
    std::vector<std::size_t> firstRaw;  // per board layer
    std::unordered_map<std::string, std::size_t> byKey;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < m_raws.size(); ++i) {
        std::string name = DecodeDxfString(m_raws[i].name, m_source.version, m_source.codePage);
        const auto [found, added] = byKey.emplace(LayerKey(name), firstRaw.size());
        if (added) {
            firstRaw.push_back(i);
            names.push_back(std::move(name));
        }
        boardOf[i] = found->second;
    }
    std::vector<std::optional<std::int32_t>> stored(firstRaw.size());
    for (std::size_t b = 0; b < firstRaw.size(); ++b) stored[b] = m_raws[firstRaw[b]].number;
    const std::vector<std::int32_t> numbers = NumberLayers(stored, names);
    if (std::find(numbers.begin(), numbers.end(), 0) == numbers.end()) {
        DxfLayerEntry zero{LayerData{0, "0", {}, true}, "0", kNoDxfRecord, false};
        m_source.layers.push_back(zero);
        m_result.content.layers.push_back(zero.read);
    }
    for (std::size_t b = 0; b < firstRaw.size(); ++b) {
        const RawLayer& raw = m_raws[firstRaw[b]];
        LayerData layer;
        layer.number = numbers[b];
        layer.name = raw.boardName
                         ? DecodeDxfString(*raw.boardName, m_source.version, m_source.codePage)
                         : names[b];
        layer.colour = raw.trueColour ? UnpackRgb(static_cast<std::int32_t>(*raw.trueColour))
                                      : AciToRgb(static_cast<std::int32_t>(raw.colour));
        layer.visible = raw.colour >= 0 && (raw.flags & 1) == 0;
        m_source.layers.push_back({layer, raw.name, raw.record, raw.ours});
        m_result.content.layers.push_back(layer);
    }
    // What was read named layers by record: now by board number.
    const auto board = [&](std::int32_t raw) {
        return numbers[boardOf[static_cast<std::size_t>(raw)]];
    };
    for (EntityData& entity : m_result.content.entities) entity.layer = board(entity.layer);
    if (m_currentRaw) m_source.currentLayer = m_result.content.currentLayer = board(*m_currentRaw);
    if (m_result.underlay) {
        for (UnderlayItem& item : m_result.underlay->items) item.layer = board(item.layer);
        for (UnderlayPoint& point : m_result.underlay->snapPoints) {
            point.layer = board(point.layer);
        }
    }
}

void Parser::TakeUnit() {
    m_source.unitCode = m_result.content.unitCode = kNoUnit;
    if (!m_units) return;
    const bool known = *m_units >= 0 && *m_units <= std::numeric_limits<std::int32_t>::max() &&
                       FindUnit(static_cast<std::int32_t>(*m_units)) != nullptr;
    if (!known) {
        m_result.report.unknownUnit = *m_units;
        return;
    }
    m_source.unitCode = m_result.content.unitCode = static_cast<std::int32_t>(*m_units);
}

}  // namespace pelimator::board::reader
