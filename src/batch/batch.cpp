// pelimator-batch: the run from the command line to the saved drawing.
#include "batch/batch.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <istream>
#include <limits>
#include <new>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "base/file.h"
#include "base/system_error_text.h"
#include "batch/errors.h"
#include "batch/options.h"
#include "batch/pick_file.h"
#include "batch/progress.h"
#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/chains.h"
#include "board/model/factory.h"
#include "geometry/calc.h"
#include "line/line_run.h"
#include "settings/ini_edit.h"
#include "settings/settings_file.h"
#include "settings/settings_location.h"

namespace pelimator::batch {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNewDrawingName = "新しい図面";

// One path to draw and where it came from, for messages.
struct PathInput {
    std::vector<board::Vec2> points;
    std::string origin;
};

std::string SettingsPathFor(const BatchOptions& options, const std::string& programDir) {
    if (!options.settingsFile.empty()) return options.settingsFile;
    return settings::SettingsFileForProgram(programDir.empty() ? ProgramDirectory() : programDir);
}

// What the run takes from the settings file.
struct RunFile {
    settings::RunSettings run;
    bool fitEnd = false;  // [Board] FitEnd, as the window reads it
    bool found = false;   // the file exists (else the defaults apply)
    std::string notes;    // hand-edited values the run replaced (SettingsValueNotes)
};

// The settings the run uses; the file named on the command line must exist, the default one may
// be missing (the drawing run's defaults then apply, as in the interactive program). One that
// exists but cannot be read (too large, a folder, a pipe, no permission) is an error either way:
// its values would otherwise be silently replaced by the defaults.
RunFile ReadSettings(const std::string& path, bool explicitlyNamed) {
    RunFile file;
    std::error_code error;
    file.found = fs::exists(path, error);
    // A folder on the way that may not be searched, or a loop of links, hides whether the file
    // is there: an error, not "no file" (its values would silently be the defaults).
    if (error) {
        throw InputError("設定ファイル「" + path +
                         "」を探せません: " + SystemErrorText(error.value()));
    }
    if (!file.found && explicitlyNamed) {
        throw InputError("設定ファイル「" + path + "」がありません");
    }
    if (file.found) {
        if (fs::is_directory(path, error)) {
            throw InputError("設定ファイル「" + path + "」はフォルダです");
        }
        // Refuses a pipe without waiting.
        if (const std::string problem = settings::SettingsReadProblem(path); !problem.empty()) {
            throw InputError(problem);
        }
    }
    settings::clsIniEdit ini;
    ini.IniFilePath(path);
    file.run = settings::ReadRunSettings(ini);
    file.fitEnd = settings::ReadBoardChoices(ini).FitEnd;
    if (file.found) file.notes = settings::SettingsValueNotes(ini);
    return file;
}

struct OpenedInput {
    board::BoardDocumentPtr document;
    bool scaleStored = false;
    std::vector<std::string> notes;  // what opening the file noted (FormatReport::Notes)
    // What the picture leaves out at the work limit, as the window's status bar says it.
    std::string leftOut;
};

OpenedInput OpenInput(board::BoardApplication& application, const BatchOptions& options) {
    if (options.input.empty()) return {application.AddDocument(kNewDrawingName), false, {}, {}};
    // What the file draws beneath is built only for a picture (--export): otherwise the batch
    // shows nothing, and a file whose blocks and patterns multiply would cost time and memory for
    // nothing. A DXF saved as JWW takes what it shows beneath into the JWW.
    board::FormatReadOptions readOptions;
    const std::string& out = options.output;
    const bool toJww = out.size() >= 4 && (out.ends_with(".jww") || out.ends_with(".JWW"));
    readOptions.underlay = options.picture.has_value() || toJww;
    board::OpenedDrawing opened = board::OpenDrawing(application, options.input, readOptions);
    // The reader gives 1:1 to a drawing that stores no scale; only a scale the drawing gives
    // counts as one it has.
    return {opened.document, opened.scaleStored, opened.report->Notes(),
            opened.report->LeftOutText()};
}

std::string LayerLabel(const board::LayerData& layer) {
    return layer.name == std::to_string(layer.number)
               ? layer.name
               : std::to_string(layer.number) + "「" + layer.name + "」";
}

// A layer as Jw_cad shows it, group and layer in hex ("0-A", any case), in upper case; "" for
// anything else.
std::string JwCadLabel(const std::string& name) {
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    if (name.size() != 3 || !hex(name[0]) || name[1] != '-' || !hex(name[2])) return {};
    std::string label = name;
    for (char& c : label) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return label;
}

// The layer numbers named on the command line: a layer's name first, else a Jw_cad drawing's
// layer as Jw_cad shows it (its name starts with "G-L"), else its number.
std::set<std::int32_t> ResolveLayers(const board::BoardLayers& layers,
                                     const std::vector<std::string>& names,
                                     const std::string& drawingName) {
    std::set<std::int32_t> numbers;
    for (const std::string& name : names) {
        const board::LayerData* found = nullptr;
        for (std::size_t i = 0; i < layers.Count() && found == nullptr; ++i) {
            if (layers.At(i).name == name) found = &layers.At(i);
        }
        if (const std::string label = JwCadLabel(name); found == nullptr && !label.empty()) {
            for (std::size_t i = 0; i < layers.Count() && found == nullptr; ++i) {
                const std::string& own = layers.At(i).name;
                if (own == label || own.rfind(label + " ", 0) == 0) found = &layers.At(i);
            }
        }
        if (found == nullptr) {
            std::int64_t number = 0;
            const auto [end, error] =
                std::from_chars(name.data(), name.data() + name.size(), number);
            if (error == std::errc{} && end == name.data() + name.size() &&
                number >= std::numeric_limits<std::int32_t>::min() &&
                number <= std::numeric_limits<std::int32_t>::max()) {
                found = layers.Find(static_cast<std::int32_t>(number));
            }
        }
        if (found == nullptr) {
            std::string known;
            for (std::size_t i = 0; i < layers.Count(); ++i) {
                known += (i == 0 ? "" : ", ") + LayerLabel(layers.At(i));
            }
            std::string message = "図面「" + drawingName;
            message += "」にレイヤ「";
            message += name;
            message += "」がありません (あるレイヤ: ";
            message += known;
            message += ")";
            throw InputError(message);
        }
        numbers.insert(found->number);
    }
    return numbers;
}

// The paths along the chains of the layers asked for. A chain with no length (a zero-length
// line, a circle too small to flatten) cannot be a path: it is skipped and named on err.
std::vector<PathInput> PathsFromLayers(const board::BoardDocument& document,
                                       const BatchOptions& options, std::ostream& err) {
    const board::BoardLayers& layers = *document.LayerTable();
    const std::set<std::int32_t> numbers = ResolveLayers(layers, options.layers, options.input);
    const auto entities = document.DrawingModel()->Entities();
    const auto take = [&](const board::EntityData& entity) {
        return numbers.contains(entity.layer);
    };
    const double joinTolerance = board::JoinToleranceFor(entities, take);
    // The same 0.01 paper-mm the board's curves keep to.
    const double flattenTolerance = 0.01 * document.UnitsPerPaperMillimetre();
    std::vector<PathInput> paths;
    std::vector<std::string> skipped;
    for (const board::Chain& chain : board::ChainEntities(entities, take, joinTolerance)) {
        const board::EntityData& first = entities[chain.pieces.front().entity];
        const board::LayerData* layer = layers.Find(first.layer);
        std::ostringstream origin;
        origin << std::setprecision(10) << "図面「" << options.input << "」のレイヤ "
               << (layer != nullptr ? LayerLabel(*layer) : std::to_string(first.layer))
               << " の図形 " << chain.pieces.front().entity + 1 << " 番目から ("
               << chain.pieces.size() << " 個、始点 " << first.start.x << ", " << first.start.y
               << ")";
        PathInput path{board::ChainPoints(chain, entities, flattenTolerance), origin.str()};
        double reach = 0.0;
        for (const board::Vec2 p : path.points) {
            reach = std::max(reach, board::Distance(p, path.points.front()));
        }
        if (reach <= joinTolerance) {
            skipped.push_back(path.origin);
            continue;
        }
        paths.push_back(std::move(path));
    }
    if (paths.empty() && !skipped.empty()) {
        throw InputError("図面「" + options.input +
                         "」の指定のレイヤには長さのある線も円弧もありません (長さのない図形: " +
                         skipped.front() +
                         (skipped.size() > 1 ? " ほか " + std::to_string(skipped.size() - 1) + " 個"
                                             : std::string()) +
                         ")");
    }
    if (paths.empty()) {
        throw InputError("図面「" + options.input + "」の指定のレイヤには線も円弧もありません");
    }
    for (const std::string& origin : skipped) {
        err << "注意: " << origin
            << ": 長さのない図形なので経路にしません (経路には異なる点が 2 つ以上必要です)\n";
    }
    return paths;
}

std::vector<PathInput> PathsFromPoints(const BatchOptions& options, std::istream& in) {
    const bool standardInput = options.pointsFile == "-";
    const std::string name = standardInput ? std::string("標準入力") : options.pointsFile;
    const std::vector<PickPath> picks =
        standardInput ? ReadPickPaths(in, name) : ReadPickFile(options.pointsFile);
    if (picks.empty()) throw InputError("「" + name + "」に点がありません");
    std::vector<PathInput> paths;
    paths.reserve(picks.size());
    for (const PickPath& pick : picks) {
        paths.push_back({pick.points, "「" + name + "」 " + std::to_string(pick.firstLine) + "〜" +
                                          std::to_string(pick.lastLine) + " 行目"});
    }
    return paths;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (!fs::exists(a, error) || !fs::exists(b, error)) return false;
    return fs::equivalent(a, b, error);
}

// A file the run would replace that its permissions protect from writing is refused, unless
// --force was given (the run then holds a WriteProtectedConsent for it).
void RefuseWriteProtected(const std::string& path, const BatchOptions& options) {
    if (options.force || !IsWriteProtected(path)) return;
    throw InputError("「" + path +
                     "」は書き込みが禁止されています (読み取り専用)。置き換えるときは --force を"
                     "付けて下さい");
}

// Consents to replace the outputs of a run given --force, for as long as it lives.
class ForcedOutputs {
public:
    explicit ForcedOutputs(const BatchOptions& options) {
        if (!options.force) return;
        if (options.source != PathSource::None) m_output.emplace(OutputPathFor(options));
        if (options.picture) m_picture.emplace(options.picture->path);
    }

private:
    std::optional<WriteProtectedConsent> m_output;
    std::optional<WriteProtectedConsent> m_picture;
};

// The output file, refused when it is the input (unless allowed) or its folder is missing.
std::string CheckedOutputPath(const BatchOptions& options) {
    std::string output = OutputPathFor(options);
    if (!options.input.empty() && !options.overwriteInput &&
        (output == options.input || SameFile(output, options.input))) {
        throw UsageError(
            "出力先「" + output +
            "」が入力図面と同じです。上書きするときは --overwrite-input を付けて下さい");
    }
    // A folder that is not there would only fail the write after every path was drawn.
    const fs::path outputDir = fs::path(output).parent_path();
    std::error_code dirError;
    if (!outputDir.empty() && !fs::is_directory(outputDir, dirError)) {
        throw InputError("出力先のフォルダ「" + outputDir.string() + "」がありません");
    }
    // A folder, a device, a named pipe, a loop of links or a name too long: refused now, not
    // after every path was drawn.
    RefuseWriteProtected(output, options);
    if (const std::string refusal = ReplaceRefusal(output); !refusal.empty()) {
        throw InputError("出力先「" + output + "」には保存できません: " + refusal);
    }
    return output;
}

// The run's settings; a wave that the radius rule refuses fails before the drawing is read.
RunFile CheckedSettings(const BatchOptions& options, const std::string& path) {
    RunFile file = ReadSettings(path, !options.settingsFile.empty());
    const settings::RunSettings& runSettings = file.run;
    if (options.lineKind == settings::LineKind::Wave &&
        !settings::WaveRadiusFits(runSettings.WaveRadius, runSettings.WaveWidth)) {
        throw InputError("設定ファイル「" + path + "」: 波線の半径 " +
                         std::to_string(runSettings.WaveRadius) + " mm、幅 " +
                         std::to_string(runSettings.WaveWidth) + " mm では描けません。" +
                         settings::kRadiusTooSmallMessage);
    }
    return file;
}

// Notes what the input had that the board does not keep, and gives the drawing its scale.
void PrepareDocument(const OpenedInput& opened, const BatchOptions& options, std::ostream& err) {
    board::BoardDocument& document = *opened.document;
    for (const std::string& note : opened.notes) {
        err << "注意: 図面「" << options.input << "」" << note << "\n";
    }
    if (!opened.leftOut.empty()) {
        err << "注意: 図面「" << options.input << "」の画像: " << opened.leftOut << "\n";
    }
    if (!opened.scaleStored) {
        document.Scale()->SetNumerator(1);
        document.Scale()->SetDenominator(options.scaleDenominator);
    } else if (options.scaleGiven && document.Source() && document.Source()->RealPerPaper(0)) {
        err << "注意: 図面「" << options.input
            << "」(Jw_cad) の長さは用紙上の mm (図寸) で、縮尺はレイヤグループごとにファイルが"
               "持っているので --scale は使いません\n";
    } else if (options.scaleGiven) {
        err << "注意: 図面「" << options.input << "」は縮尺 " << document.ScaleModel()->Numerator()
            << ":" << document.ScaleModel()->Denominator()
            << " を持っているので --scale は使いません\n";
    }
}

LineOptions LineOptionsFor(const BatchOptions& options, const RunFile& settingsFile) {
    LineOptions lineOptions;
    lineOptions.fitToEnd = options.fitEnd.value_or(settingsFile.fitEnd);
    lineOptions.pathKind = options.pathKind.value_or(options.source == PathSource::Layers
                                                         ? settings::PathKind::Polyline
                                                         : settings::PathKind::ThroughPoints);
    lineOptions.lineKind = options.lineKind;
    lineOptions.magnification = options.magnification;
    lineOptions.up = options.up;
    lineOptions.entityLimit = options.maxEntities;
    return lineOptions;
}

struct DrawnTotals {
    std::int64_t entities = 0;
    std::int32_t layer = 0;  // the layer of the last line
    double pitch = 0.0;      // the normal pitch, drawing units (the last line's)
    host::DrawingUnit unit;  // the drawing's unit
    std::size_t fitted = 0;  // lines whose pitch was fitted to their end
    std::size_t kept = 0;    // lines asked to fit that kept the normal pitch
};

// Draws every path as one line, each its own edit step; a path that yields no entity is noted.
DrawnTotals DrawPaths(board::BoardFactory& factory, board::BoardDocument& document,
                      const std::vector<PathInput>& paths, const LineOptions& lineOptions,
                      const settings::RunSettings& runSettings, BatchStreams& streams) {
    Progress progress(streams.err, streams.errIsTerminal, paths.size());
    const host::StatusSink sink = progress.Sink();
    DrawnTotals totals;
    std::vector<std::string> notes;
    try {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            progress.StartPath(i);
            auto picks = factory.CreatePointList();
            for (const board::Vec2 p : paths[i].points) picks->Add(p.x, p.y);
            // The bound covers the whole run: all its entities are held until the one save.
            LineOptions pathOptions = lineOptions;
            pathOptions.entityLimit = lineOptions.entityLimit - totals.entities;
            LineResult result;
            try {
                result = DrawLine(factory, document, *picks, pathOptions, runSettings, sink);
            } catch (const WorkLimitError& error) {
                throw Error("経路 " + std::to_string(i + 1) + " (" + paths[i].origin +
                            ") を描けませんでした: 図形が約 " + std::to_string(error.Estimate()) +
                            " 個増え、ここまでの " + std::to_string(totals.entities) +
                            " 個と合わせて上限の " + std::to_string(lineOptions.entityLimit) +
                            " 個を超えます。上限は --max-entities で変えられます");
            } catch (const Error& error) {
                throw Error("経路 " + std::to_string(i + 1) + " (" + paths[i].origin +
                            ") を描けませんでした: " + error.what());
            }
            const std::string where =
                "注意: 経路 " + std::to_string(i + 1) + " (" + paths[i].origin + "): ";
            if (result.entities == 0) {
                notes.push_back(where + NoEntityText(result.pathLength, result.pitch,
                                                     UnitForTexts(result.unit)));
            }
            if (const std::string kept = FitKeptText(result); !kept.empty()) {
                notes.push_back(where + kept);
                ++totals.kept;
            } else if (result.fit && result.fit->outcome == EndFit::Fitted) {
                ++totals.fitted;
            }
            totals.entities += result.entities;
            totals.layer = result.layer;
            totals.pitch = result.normalPitch;
            totals.unit = result.unit;
            progress.FinishPath(i, result.entities);
        }
    } catch (...) {
        progress.Close();
        throw;
    }
    progress.Close();
    // After the progress line is closed, so the notes do not break into it.
    for (const std::string& note : notes) streams.err << note << "\n";
    return totals;
}

// What a finished run tells the drafter about.
struct RunSummary {
    std::size_t pathCount = 0;
    DrawnTotals totals;
    double seconds = 0.0;
    std::string output;
    std::string settingsPath;
    bool settingsFound = false;
    bool settingsFitEnd = false;  // the settings file's fitting of the end, when not told
};

void PrintSummary(std::ostream& err, const board::BoardDocument& document,
                  const BatchOptions& options, const RunSummary& run) {
    const DrawnTotals& totals = run.totals;
    const board::LayerData* layerData = document.LayerTable()->Find(totals.layer);
    std::ostringstream summary;
    summary << std::fixed << std::setprecision(2) << "完了: 経路 " << run.pathCount << " 本に"
            << (options.lineKind == settings::LineKind::Wave ? "波線" : "ジグザグ線")
            << "を描き、図形 " << totals.entities << " 個をレイヤ "
            << (layerData != nullptr ? LayerLabel(*layerData) : std::to_string(totals.layer))
            << " に追加しました (所要時間 " << run.seconds << " 秒)\n"
            << "図面の単位: "
            << (totals.unit.symbol.empty() ? std::string("指定なし (mm として扱いました)")
                                           : totals.unit.symbol)
            << "、点の間隔 " << LengthText(totals.pitch, UnitForTexts(totals.unit)) << "\n";
    if (options.fitEnd.value_or(run.settingsFitEnd)) {
        summary << "終点合わせ: " << totals.fitted << " 本の間隔を合わせました";
        if (totals.kept > 0) {
            summary << "、" << totals.kept << " 本は通常の間隔のままです (理由は上の注意)";
        }
        summary << "\n";
    }
    summary << "保存先: " << run.output << "\n"
            << "設定: "
            << (run.settingsFound ? run.settingsPath : run.settingsPath + " (ないので既定値)")
            << "\n";
    err << summary.str() << std::flush;
}

// The picture request with its sheet chosen: the one named, else the drawing's own sheet when
// it lies on it (a Jw_cad drawing's paper), else the smallest that holds the drawing at scale
// (landscape first; A0 when none does, which the export then refuses as the window's does); A4
// landscape when fitted.
PictureRequest WithSheet(PictureRequest picture, const board::BoardDocument& document,
                         const board::ExportStyle& style) {
    if (picture.format != PictureFormat::Pdf || picture.sheet) return picture;
    if (picture.fit) {
        picture.sheet = board::Sheet{};
        return picture;
    }
    const auto extent = board::ShownExtentMm(document);
    if (const auto own = board::OwnSheetHolding(extent, board::DrawingPaperMm(document))) {
        picture.sheet = own;
        return picture;
    }
    const double width = extent ? extent->max.x - extent->min.x : 0.0;
    const double height = extent ? extent->max.y - extent->min.y : 0.0;
    picture.sheet =
        board::SmallestSheetThatFits(width, height, style.marginMm,
                                     board::PaperOrientation::Landscape)
            .value_or(board::Sheet{board::PaperSize::A0, board::PaperOrientation::Landscape});
    return picture;
}

void ExportPicture(const BatchOptions& options, const board::BoardDocument& document,
                   const PictureWriter& writePicture, std::ostream& err) {
    RefuseWriteProtected(options.picture->path, options);
    const PictureRequest picture = WithSheet(*options.picture, document, board::ExportStyle{});
    const fs::path dir = fs::path(picture.path).parent_path();
    std::error_code dirError;
    if (!dir.empty() && !fs::is_directory(dir, dirError)) {
        throw InputError("エクスポート先のフォルダ「" + dir.string() + "」がありません");
    }
    err << "エクスポート中: " << picture.path << std::endl;
    writePicture(document, picture);
}

int Run(const BatchOptions& options, BatchStreams& streams, const std::string& programDir,
        const PictureWriter& writePicture) {
    const auto started = std::chrono::steady_clock::now();
    const ForcedOutputs forced(options);
    M_Calc::InitPi();
    if (options.picture && !writePicture) {
        throw UsageError(
            "この pelimator-batch は画像のエクスポート (--export) なしで作られています");
    }
    if (options.source == PathSource::None) {
        // Only the picture: the drawing as opened, nothing saved.
        auto application = board::BoardApplication::Create();
        const OpenedInput opened = OpenInput(*application, options);
        PrepareDocument(opened, options, streams.err);
        ExportPicture(options, *opened.document, writePicture, streams.err);
        streams.err << "完了: 画像をエクスポートしました: " << options.picture->path
                    << (opened.leftOut.empty() ? "" : " (作業量の上限で一部を表示していません)")
                    << "\n"
                    << std::flush;
        return kExitOk;
    }

    const std::string output = CheckedOutputPath(options);
    const std::string settingsPath = SettingsPathFor(options, programDir);
    const RunFile settingsFile = CheckedSettings(options, settingsPath);
    if (!settingsFile.notes.empty()) streams.err << "注意: " << settingsFile.notes << "\n";

    auto application = board::BoardApplication::Create();
    board::BoardFactory factory(application);
    const OpenedInput opened = OpenInput(*application, options);
    board::BoardDocument& document = *opened.document;
    PrepareDocument(opened, options, streams.err);

    const std::vector<PathInput> paths =
        options.source == PathSource::Layers    ? PathsFromLayers(document, options, streams.err)
        : options.source == PathSource::Convert ? std::vector<PathInput>{}
                                                : PathsFromPoints(options, streams.in);
    const DrawnTotals totals = DrawPaths(
        factory, document, paths, LineOptionsFor(options, settingsFile), settingsFile.run, streams);

    // Nothing is dropped silently: what the file's version cannot hold stops the run unless
    // --allow-loss was given.
    if (const auto losses = board::SaveLosses(document, output); !losses.empty()) {
        for (const std::string& loss : losses)
            streams.err << "保存で失われるもの: " << loss << "\n";
        if (!options.allowLoss) {
            throw InputError(
                "保存すると上の内容が失われます。それでよければ --allow-loss を付けて"
                "下さい");
        }
    }

    if (options.picture) ExportPicture(options, document, writePicture, streams.err);
    // Writing a large drawing takes as long as drawing it: say so rather than look stuck.
    streams.err << "保存中: " << output << std::endl;
    board::SaveDrawing(document, output);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    PrintSummary(streams.err, document, options,
                 RunSummary{paths.size(), totals, seconds, output, settingsPath, settingsFile.found,
                            settingsFile.fitEnd});
    return kExitOk;
}

}  // namespace

std::string ProgramDirectory() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

int RunBatch(std::span<const std::string> args, BatchStreams& streams,
             const std::string& programDir, const PictureWriter& writePicture) {
    const std::string program =
        args.empty() ? std::string("pelimator-batch") : fs::path(args[0]).filename().string();
    const auto usage = [&](const UsageError& error) {
        streams.err << program << ": " << error.what() << "\n"
                    << "使い方は " << program << " --help で表示できます。\n";
        return kExitUsage;
    };
    try {
        const BatchOptions options = ParseOptions(args.empty() ? args : args.subspan(1));
        if (options.help) {
            streams.out << HelpText(program) << std::flush;
            return kExitOk;
        }
        return Run(options, streams, programDir, writePicture);
    } catch (const UsageError& error) {
        return usage(error);
    } catch (const Error& error) {
        streams.err << program << ": エラー: " << error.what() << "\n"
                    << "何も保存していません。\n";
    } catch (const std::bad_alloc&) {
        streams.err << program << ": エラー: メモリが足りません。何も保存していません。\n";
    } catch (const std::exception& error) {
        streams.err << program << ": 予期しないエラー: " << error.what()
                    << "\n何も保存していません。\n";
    }
    return kExitFailure;
}

}  // namespace pelimator::batch
