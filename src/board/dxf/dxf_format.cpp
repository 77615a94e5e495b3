// DXF as one of the board's file formats.
#include "board/dxf/dxf_format.h"

#include "board/dxf/dxf_file.h"

namespace pelimator::board {

bool IsDxfBytes(std::string_view bytes) noexcept {
    if (bytes.starts_with("AutoCAD Binary DXF")) return true;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const std::size_t start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return false;
    bytes.remove_prefix(start);
    const std::size_t end = bytes.find_first_not_of("0123456789");
    if (end == std::string_view::npos) return false;
    const std::string_view code = bytes.substr(0, end);
    if (code != "0" && code != "999") return false;
    const std::size_t next = bytes.find_first_not_of(" \t", end);
    return next != std::string_view::npos && (bytes[next] == '\r' || bytes[next] == '\n');
}

namespace {

class DxfReport final : public FormatReport {
public:
    explicit DxfReport(DxfOpenReport report) : m_report(std::move(report)) {}
    [[nodiscard]] std::string Summary() const override { return m_report.Summary(); }
    [[nodiscard]] std::string LeftOutText() const override { return m_report.LeftOutText(); }
    [[nodiscard]] std::vector<std::string> Notes() const override;

private:
    DxfOpenReport m_report;
};

std::vector<std::string> DxfReport::Notes() const {
    std::vector<std::string> notes;
    if (m_report.skipped > 0) {
        // The board shows lines and arcs only; the rest is written back as it was read.
        std::string note = "の図形のうち " + std::to_string(m_report.skipped) + " 個 (";
        bool first = true;
        for (const auto& [kind, count] : m_report.skippedKinds) {
            note += (first ? "" : ", ") + kind + " " + std::to_string(count);
            first = false;
        }
        notes.push_back(note + ") は経路には使いませんが、出力にはそのまま残します");
    }
    // Closing records the file lacked are added to the output, and said so.
    for (const std::string& repair : m_report.repairs) {
        notes.push_back("の構造を補いました (出力にも補います): " + repair);
    }
    if (!m_report.guessedCodePage.empty()) {
        const std::string& page = m_report.guessedCodePage;
        notes.push_back("は文字コードの指定がないので " +
                        (page == "ANSI_932" ? std::string("Shift-JIS") : page) +
                        " として読み、同じ文字コードで保存します");
    }
    return notes;
}

// The source to write over: own when given, else the built-in empty drawing.
const DxfSource& OwnOrNew(const DocumentSource* own) {
    const auto* dxf = dynamic_cast<const DxfSource*>(own);
    return dxf != nullptr ? *dxf : *NewDrawingSource();
}

class Dxf final : public FileFormat {
public:
    [[nodiscard]] std::string_view Name() const noexcept override { return "DXF"; }
    [[nodiscard]] const char* Extension() const noexcept override { return ".dxf"; }
    [[nodiscard]] std::string_view DialogFilter() const noexcept override {
        return "DXF 図面 (*.dxf)";
    }
    [[nodiscard]] bool Claims(std::string_view bytes, const std::string& /*path*/) const override {
        return IsDxfBytes(bytes);
    }
    [[nodiscard]] bool Owns(const DocumentSource& source) const override {
        return dynamic_cast<const DxfSource*>(&source) != nullptr;
    }
    [[nodiscard]] FormatRead Read(FileBytes bytes, const std::string& fileName,
                                  const FormatReadOptions& options) const override {
        DxfReadResult read =
            ReadDxfBytes(std::move(bytes), fileName, {options.underlay, options.cancel});
        const bool stored = read.source->scaleStored;
        return {std::move(read.content), std::move(read.source), std::move(read.underlay),
                std::make_shared<DxfReport>(std::move(read.report)), stored};
    }
    void Write(const std::string& path, const DocumentSource* own,
               const DrawingState& state) const override {
        WriteDxf(path, OwnOrNew(own), state);
    }
    [[nodiscard]] std::vector<std::string> Losses(const DocumentSource* own,
                                                  const DrawingState& state) const override {
        return DxfSaveLosses(OwnOrNew(own), state);
    }
    [[nodiscard]] bool KeepsEdits(const DocumentSource& /*own*/,
                                  const DrawingState& /*state*/) const override {
        return true;
    }
    [[nodiscard]] std::string_view ConversionKeeps() const noexcept override {
        return "DXF への変換では線と円弧とレイヤだけを保存します。";
    }
    [[nodiscard]] std::string_view ConversionDrops() const noexcept override {
        return "DXF のペーパー空間 (レイアウト)、色と線種そのもの (近い線色・線種になります)、曲線"
               "そのもの (線に分けます)";
    }
};

}  // namespace

const FileFormat& DxfFormat() {
    static const Dxf format;
    return format;
}

}  // namespace pelimator::board
