// Jw_cad's JWW as one of the board's file formats.
#include "board/jww/jww_format.h"

#include "board/jww/jww_file.h"

namespace pelimator::board {

namespace {

class JwwReport final : public FormatReport {
public:
    explicit JwwReport(JwwOpenReport report) : m_report(std::move(report)) {}
    [[nodiscard]] std::string Summary() const override { return m_report.Summary(); }
    [[nodiscard]] std::string LeftOutText() const override { return m_report.LeftOutText(); }
    [[nodiscard]] std::vector<std::string> Notes() const override { return {}; }

private:
    JwwOpenReport m_report;
};

// A new JWW drawing holding the layer names, at the state's scale.
std::shared_ptr<JwwSource> NewJwwSource(const DrawingState& state) {
    const double scale = static_cast<double>(state.scaleDenominator) / state.scaleNumerator;
    auto source = ReadJwwBytes(NewJwwBytes(state.layers, scale), "new.jww").source;
    source->converted = true;
    return source;
}

class Jww final : public FileFormat {
public:
    [[nodiscard]] std::string_view Name() const noexcept override { return "JWW"; }
    [[nodiscard]] const char* Extension() const noexcept override { return ".jww"; }
    [[nodiscard]] std::string_view DialogFilter() const noexcept override {
        return "Jw_cad 図面 (*.jww)";
    }
    // A file too short to tell is taken when it starts as one or is named so: the reader then
    // names the shortness, not a DXF group code.
    [[nodiscard]] bool Claims(std::string_view bytes, const std::string& path) const override {
        return IsJwwBytes(bytes) || IsCutJwwBytes(bytes) ||
               (bytes.size() < 12 && !bytes.empty() && LowerExtension(path) == Extension());
    }
    [[nodiscard]] bool Owns(const DocumentSource& source) const override {
        return dynamic_cast<const JwwSource*>(&source) != nullptr;
    }
    [[nodiscard]] FormatRead Read(FileBytes bytes, const std::string& fileName,
                                  const FormatReadOptions& options) const override {
        JwwReadResult read =
            ReadJwwBytes(std::move(bytes), fileName, {options.underlay, options.cancel, 0});
        // A JWW drawing's current layer is its write layer; its layer groups carry their scales.
        read.content.currentLayer = read.currentLayer;
        return {std::move(read.content), std::move(read.source), std::move(read.underlay),
                std::make_shared<JwwReport>(std::move(read.report)), true};
    }
    void Write(const std::string& path, const DocumentSource* own,
               const DrawingState& state) const override {
        const auto* jww = dynamic_cast<const JwwSource*>(own);
        if (jww != nullptr) {
            WriteJww(path, *jww, state);
        } else {
            WriteJww(path, *NewJwwSource(state), state);
        }
    }
    [[nodiscard]] std::vector<std::string> Losses(const DocumentSource* own,
                                                  const DrawingState& state) const override {
        const auto* jww = dynamic_cast<const JwwSource*>(own);
        return jww != nullptr ? JwwSaveLosses(*jww, state)
                              : JwwSaveLosses(*NewJwwSource(state), state);
    }
    [[nodiscard]] bool KeepsEdits(const DocumentSource& own,
                                  const DrawingState& state) const override {
        const auto* jww = dynamic_cast<const JwwSource*>(&own);
        return jww == nullptr || JwwUnkeptEdits(*jww, state) == 0;
    }
    [[nodiscard]] std::string_view ConversionKeeps() const noexcept override {
        return "JWW への変換では線・円弧・文字・点・塗りつぶし・ブロック・寸法と、レイヤ (番号 "
               "0〜255)、近い線色と線種を保存し (描いたとおりの編集を含みます)、楕円・スプライン・"
               "ハッチングの模様などは線に分けて保存します。";
    }
    [[nodiscard]] std::string_view ConversionDrops() const noexcept override {
        return "文字・寸法・ブロック・ソリッド・点・楕円弧、レイヤグループごとの縮尺と Jw_cad "
               "の線色・線種";
    }
};

}  // namespace

const FileFormat& JwwFormat() {
    static const Jww format;
    return format;
}

const JwwSource* AsJwwSource(const DocumentSource& source) noexcept {
    return dynamic_cast<const JwwSource*>(&source);
}

}  // namespace pelimator::board
