// The batch command's options: parsing the command line and the help text.
#include "batch/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <limits>
#include <string_view>

#include "batch/errors.h"
#include "settings/settings_file.h"

namespace pelimator::batch {

namespace {

std::int64_t ParseWhole(std::string_view option, std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        throw UsageError(std::string(option) + " には整数を指定して下さい: \"" + std::string(text) +
                         "\"");
    }
    return value;
}

// A choice given by name or by its option index.
std::int16_t ParseChoice(std::string_view option, std::string_view text,
                         std::initializer_list<std::string_view> names) {
    std::int16_t index = 0;
    std::string list;
    for (const std::string_view name : names) {
        if (text == name || text == std::to_string(index)) return index;
        if (!list.empty()) list += ", ";
        list += std::string(name) + " (" + std::to_string(index) + ")";
        ++index;
    }
    throw UsageError(std::string(option) + " の値 \"" + std::string(text) + "\" は使えません。" +
                     list + " のどれかを指定して下さい");
}

void SplitLayers(std::string_view text, std::vector<std::string>& layers) {
    while (true) {
        const auto comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        if (name.empty()) throw UsageError("--layers に空のレイヤ名があります");
        layers.emplace_back(name);
        if (comma == std::string_view::npos) return;
        text.remove_prefix(comma + 1);
    }
}

bool AsksForHelp(std::span<const std::string> args) {
    return std::ranges::any_of(
        args, [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

// What the command line has named so far, for the checks that need all of it.
struct Seen {
    bool points = false;
    bool layers = false;
    bool input = false;
    bool sheet = false;
    bool fit = false;
    bool dpi = false;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
}

PictureRequest ParsePicture(const std::string& path) {
    PictureRequest picture;
    if (path.empty()) throw UsageError("--export のファイル名が空です");
    picture.path = path;
    const std::size_t dot = path.find_last_of('.');
    const std::string extension = dot == std::string::npos ? "" : Lower(path.substr(dot));
    if (extension == ".svg") {
        picture.format = PictureFormat::Svg;
    } else if (extension == ".pdf") {
        picture.format = PictureFormat::Pdf;
    } else if (extension == ".png") {
        picture.format = PictureFormat::Png;
    } else {
        throw UsageError("--export のファイル名は .svg、.pdf、.png のどれかで終えて下さい: \"" +
                         path + "\"");
    }
    return picture;
}

// "A3" (landscape, as the window's export dialog offers it first), "A3,landscape" or
// "A3,portrait".
board::Sheet ParseSheet(const std::string& text) {
    const std::size_t comma = text.find(',');
    const std::string size = Lower(text.substr(0, comma));
    const std::string turn =
        comma == std::string::npos ? "landscape" : Lower(text.substr(comma + 1));
    static constexpr std::array<const char*, 5> kNames = {"a4", "a3", "a2", "a1", "a0"};
    board::Sheet sheet;
    const auto* const found = std::find(kNames.begin(), kNames.end(), size);
    if (found == kNames.end() || (turn != "portrait" && turn != "landscape")) {
        throw UsageError("--sheet の値 \"" + text +
                         "\" は使えません。A4〜A0 に、縦置きなら \",portrait\" を付けて下さい "
                         "(例: A3,portrait)");
    }
    sheet.paper = board::kPaperSizes[static_cast<std::size_t>(found - kNames.begin())];
    sheet.orientation = turn == "landscape" ? board::PaperOrientation::Landscape
                                            : board::PaperOrientation::Portrait;
    return sheet;
}

std::int32_t ParseDpi(std::string_view name, const std::string& text) {
    const std::int64_t dpi = ParseWhole(name, text);
    if (dpi < kMinDpi || dpi > kMaxDpi) {
        throw UsageError("--dpi は " + std::to_string(kMinDpi) + "〜" + std::to_string(kMaxDpi) +
                         " で指定して下さい: " + text);
    }
    return static_cast<std::int32_t>(dpi);
}

void TakeInput(const std::string& arg, BatchOptions& options, Seen& seen) {
    if (seen.input) {
        throw UsageError("入力図面は 1 つだけ指定できます: \"" + options.input + "\" と \"" + arg +
                         "\"");
    }
    if (arg == "-") {
        throw UsageError("入力図面に標準入力は使えません (点は --points - で渡せます)");
    }
    options.input = arg;
    seen.input = true;
}

std::int32_t ParseMagnification(std::string_view name, const std::string& text) {
    const std::int64_t mag = ParseWhole(name, text);
    if (mag < settings::kMagMin || mag > settings::kMagMax) {
        throw UsageError("--mag (倍率 %) は " + std::to_string(settings::kMagMin) + "〜" +
                         std::to_string(settings::kMagMax) +
                         " で指定して下さい: " + std::to_string(mag));
    }
    return static_cast<std::int32_t>(mag);
}

std::int32_t ParseScale(std::string_view name, std::string text) {
    if (text.starts_with("1:")) text.erase(0, 2);
    const std::int64_t denominator = ParseWhole(name, text);
    if (denominator < 1 || denominator > std::numeric_limits<std::int32_t>::max()) {
        throw UsageError("--scale (縮尺 1:N の N) は 1 以上の整数で指定して下さい: " + text);
    }
    return static_cast<std::int32_t>(denominator);
}

std::int64_t ParseEntityLimit(std::string_view name, const std::string& text) {
    const std::int64_t limit = ParseWhole(name, text);
    if (limit < 1) {
        throw UsageError("--max-entities (図形の数の上限) は 1 以上の整数で指定して下さい: " +
                         text);
    }
    return limit;
}

std::string NonEmpty(std::string value, const char* whatIsEmpty) {
    if (value.empty()) throw UsageError(whatIsEmpty);
    return value;
}

// One option that takes a value; false when name is none of them.
bool TakeValueOption(const std::string& name, const std::function<std::string()>& value,
                     BatchOptions& options, Seen& seen) {
    if (name == "--points") {
        options.pointsFile = NonEmpty(value(), "--points のファイル名が空です");
        seen.points = true;
    } else if (name == "--layers") {
        SplitLayers(value(), options.layers);
        seen.layers = true;
    } else if (name == "--line") {
        options.lineKind =
            static_cast<settings::LineKind>(ParseChoice(name, value(), {"wave", "zigzag"}));
    } else if (name == "--path") {
        options.pathKind = static_cast<settings::PathKind>(
            ParseChoice(name, value(), {"polyline", "near", "through"}));
    } else if (name == "--up") {
        options.up = static_cast<settings::UpSide>(ParseChoice(name, value(), {"left", "right"}));
    } else if (name == "--mag") {
        options.magnification = ParseMagnification(name, value());
    } else if (name == "--scale") {
        options.scaleDenominator = ParseScale(name, value());
        options.scaleGiven = true;
    } else if (name == "--max-entities") {
        options.maxEntities = ParseEntityLimit(name, value());
    } else if (name == "--settings") {
        options.settingsFile = NonEmpty(value(), "--settings のファイル名が空です");
    } else if (name == "--output" || name == "-o") {
        options.output = NonEmpty(value(), "出力ファイル名が空です");
    } else if (name == "--export") {
        const std::optional<PictureRequest> earlier = options.picture;
        options.picture = ParsePicture(value());
        if (earlier) {
            options.picture->sheet = earlier->sheet;
            options.picture->dpi = earlier->dpi;
        }
    } else if (name == "--sheet") {
        if (!options.picture) options.picture.emplace();
        options.picture->sheet = ParseSheet(value());
        seen.sheet = true;
    } else if (name == "--dpi") {
        if (!options.picture) options.picture.emplace();
        options.picture->dpi = ParseDpi(name, value());
        seen.dpi = true;
    } else {
        return false;
    }
    return true;
}

// The checks that need the whole command line; sets where the paths come from.
void CheckPicture(const BatchOptions& options, const Seen& seen) {
    const bool exported = options.picture && !options.picture->path.empty();
    if (!exported && (seen.sheet || seen.fit || seen.dpi)) {
        throw UsageError("--sheet、--fit、--dpi は --export と一緒に使って下さい");
    }
    if (!exported) return;
    if (seen.dpi && options.picture->format != PictureFormat::Png) {
        throw UsageError("--dpi は PNG のエクスポートにだけ使えます");
    }
}

void CheckCombination(BatchOptions& options, const Seen& seen) {
    CheckPicture(options, seen);
    if (options.picture && !seen.points && !seen.layers) {
        // Only a picture: the drawing is not changed, so nothing is saved.
        if (options.input.empty()) throw UsageError("--export には入力図面 (DXF) が必要です");
        if (!options.output.empty() || options.overwriteInput) {
            throw UsageError(
                "経路を描かないときは DXF を保存しないので、--output や "
                "--overwrite-input は使えません");
        }
        options.source = PathSource::None;
        return;
    }
    if (!seen.points && !seen.layers && !options.input.empty() && !options.output.empty()) {
        options.source = PathSource::Convert;
        return;
    }
    if (seen.points == seen.layers) {
        throw UsageError(
            seen.points
                ? "--points と --layers は同時に使えません"
                : "経路の取り方を指定して下さい (--points ファイル または --layers レイヤ)");
    }
    options.source = seen.points ? PathSource::PointsFile : PathSource::Layers;
    if (options.source == PathSource::Layers && options.input.empty()) {
        throw UsageError("--layers には入力図面 (DXF) が必要です");
    }
    if (options.input.empty() && options.output.empty()) {
        throw UsageError("新しい図面に描くときは --output で出力ファイルを指定して下さい");
    }
}

}  // namespace

BatchOptions ParseOptions(std::span<const std::string> args) {
    BatchOptions options;
    if (AsksForHelp(args)) {
        options.help = true;
        return options;
    }
    Seen seen;
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg == "-" || !arg.starts_with("-")) {
            TakeInput(arg, options, seen);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto equals = arg.find('=');
            arg.starts_with("--") && equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= args.size()) throw UsageError(name + " の後に値を指定して下さい");
            return args[++i];
        };
        if (name == "--overwrite-input") {
            if (inlineValue) throw UsageError("--overwrite-input は値をとりません");
            options.overwriteInput = true;
        } else if (name == "--allow-loss") {
            if (inlineValue) throw UsageError("--allow-loss は値をとりません");
            options.allowLoss = true;
        } else if (name == "--force") {
            if (inlineValue) throw UsageError("--force は値をとりません");
            options.force = true;
        } else if (name == "--fit") {
            if (inlineValue) throw UsageError("--fit は値をとりません");
            if (!options.picture) options.picture.emplace();
            options.picture->fit = true;
            seen.fit = true;
        } else if (name == "--fit-end" || name == "--no-fit-end") {
            if (inlineValue) throw UsageError(name + " は値をとりません");
            options.fitEnd = name == "--fit-end";
        } else if (!TakeValueOption(name, value, options, seen)) {
            throw UsageError("知らないオプションです: " + arg);
        }
    }
    CheckCombination(options, seen);
    return options;
}

std::string OutputPathFor(const BatchOptions& options) {
    if (!options.output.empty()) return options.output;
    std::string base = options.input;
    const std::size_t slash = base.find_last_of('/');
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)) {
        std::string extension = base.substr(dot);
        for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (extension == ".dxf") base.erase(dot);
        // A Jw_cad drawing is saved as one (what it is is told by content when it is read).
        if (extension == ".jww") return base.erase(dot) + kOutputSuffixJww;
    }
    return base + kOutputSuffix;
}

namespace {

// What the program does.
std::string HelpIntro() {
    return "図面 (DXF、または Jw_cad の JWW) に、点の列または図面の線に沿って波線かジグザグ線を\n"
           "描き加え、別のファイルに保存します (出力の拡張子が .jww なら JWW、.dxf なら DXF、\n"
           "その他は入力と同じ形式)。描き方は対話画面での描画とまったく同じです。JWW では\n"
           "幅・半径・高さは用紙上の mm (図寸) のまま、どのレイヤグループの縮尺でも同じ大きさで、\n"
           "書込レイヤ (設定でレイヤ番号を指定したときは番号 = グループ×16+レイヤ のレイヤ) に\n"
           "描きます。\n"
           "\n";
}

// The path options.
std::string HelpPaths() {
    return "経路 (どちらか一方を必ず指定):\n"
           "  --points ファイル   点のファイル。1 行に 1 点 \"x y\" または \"x,y\" (図面の単位)。\n"
           "                      空行で次の経路に移ります。# から行末まではコメントです。\n"
           "                      \"-\" なら標準入力から読みます。\n"
           "  --layers レイヤ,... 入力図面のこれらのレイヤ (名前または番号) にある折れ線と、端が\n"
           "                      つながる線・円弧の連なりを、それぞれ 1 本の経路にします。\n"
           "                      JWW のレイヤは Jw_cad の表示 (例: 0-A) でも指定できます。\n"
           "\n";
}

// How the line is drawn.
std::string HelpDrawing() {
    return "描き方:\n"
           "  --line wave|zigzag  線の種類: 波 (wave, 0) / ジグザグ (zigzag, 1)。既定 wave\n"
           "  --path 種類         経路の曲線: polyline (0) 折れ線 / near (1) 点近傍曲線 /\n"
           "                      through (2) 点通過曲線。既定は --points で 2、--layers で 0\n"
           "  --mag %             倍率 (10〜1000)。既定 100\n"
           "  --up left|right     上とする側: 左 (left, 0) / 右 (right, 1)。既定 left\n"
           "  --scale N           縮尺 1:N。縮尺を持たない図面 (新しい図面、縮尺のない DXF)\n"
           "                      にだけ使います。既定 1。幅・半径・高さ (mm) は縮尺と図面の単位\n"
           "                      ($INSUNITS: m、cm、inch など。指定なしは mm) "
           "で図面の長さにします\n"
           "  --settings ファイル 幅・半径・高さ・レイヤを読む設定ファイル。既定は対話画面と同じ\n"
           "                      Korvane.ini (なければ既定値)\n"
           "  --fit-end           線が経路の終点でちょうど終わるように、点の間隔を経路ごとに\n"
           "                      (半分から 1.5 倍の範囲で) 変えます。合わせられない経路は\n"
           "                      通常の間隔で描き、理由を表示します\n"
           "  --no-fit-end        間隔を変えません。どちらも指定しなければ、設定ファイルの\n"
           "                      [Board] FitEnd (対話画面の 図面 → 線を経路の終点で終える) "
           "に従います\n"
           "  --max-entities N    1 回の実行で作る図形の上限。経路ごとに描く前に見積もり、\n"
           "                      合計がこれを超えるならエラーにします。既定 " +
           std::to_string(kDefaultEntityLimit) +
           "\n"
           "\n";
}

// Where it is saved.
std::string HelpOutput() {
    return "出力:\n"
           "  -o, --output ファイル  保存先。既定は入力の名前に \"" +
           std::string(kOutputSuffix) +
           "\" を付けたもの\n"
           "  --overwrite-input   出力先が入力図面と同じでも上書きします (指定しなければ拒否)\n"
           "  --allow-loss        図面の版が保てない内容 (例: R2000 で色番号にない色) があっても\n"
           "                      保存します (指定しなければ、失われるものを示して終了コード 1)\n"
           "  --force             書き込みが禁止された (読み取り専用の) 出力先や画像も置き換え\n"
           "                      ます (指定しなければ拒否。置き換えたファイルの許可はそのまま)\n"
           "\n";
}

// Pictures, help, and what happens on failure.
std::string HelpExport() {
    return "画像のエクスポート (図面ウィンドウの「エクスポート」と同じ絵):\n"
           "  --export ファイル   描いた後の図面を SVG、PDF、PNG (拡張子で選びます) "
           "にエクスポートします。\n"
           "                      経路を指定しなければ、入力図面をエクスポートするだけで DXF "
           "は保存しません\n"
           "  --sheet 用紙        用紙: A4〜A0 (横置き)。縦置きは \",portrait\" を付けます\n"
           "                      (例: A3,portrait)。PDF の既定は、Jw_cad の図面がその用紙に\n"
           "                      載っていればその用紙 (Jw_cad と同じ位置)、ほかは縮尺どおりに\n"
           "                      収まる最小の用紙 (横置き優先)。SVG と PNG "
           "の既定は図面と余白の大きさ\n"
           "  --fit               図面を用紙に合わせて拡大・縮小します (既定は図面の縮尺。\n"
           "                      --sheet がなければ A4 横置き)\n"
           "  --dpi N             PNG の解像度 (用紙 1 インチあたりの画素数)。既定 254\n"
           "  -h, --help          この説明を表示します\n"
           "\n"
           "入力図面を省くと、新しい図面に描きます (--points と --output が必要)。\n"
           "--points も --layers もなく入力図面と --output があれば、描かずに変換して保存します\n"
           "(JWW を DXF に: 実寸の mm で、文字・寸法・ブロック・点・ソリッドも)。\n"
           "途中で失敗したときは何も保存しません。終了コード: 0 成功、1 入力の誤りや描画の失敗、\n"
           "2 コマンドラインの誤り。\n"
           "\n";
}

// Two examples.
std::string HelpExamples(const std::string& program) {
    return "例:\n"
           "  " +
           program +
           " --points 点.txt --line zigzag --mag 50 --up right 平面図.dxf\n"
           "      平面図.dxf に点.txt の経路でジグザグ線を描き、平面図" +
           std::string(kOutputSuffix) +
           " に保存します。\n"
           "  " +
           program +
           " --layers 道路 --scale 500 -o 道路-波線.dxf 道路.dxf\n"
           "      道路.dxf のレイヤ「道路」の線に沿って波線を描き (縮尺のない図面なら 1:500)、\n"
           "      道路-波線.dxf に保存します。\n";
}

}  // namespace

std::string HelpText(const std::string& program) {
    return "使い方: " + program + " [オプション] [入力.dxf|入力.jww]\n\n" + HelpIntro() +
           HelpPaths() + HelpDrawing() + HelpOutput() + HelpExport() + HelpExamples(program);
}

}  // namespace pelimator::batch
