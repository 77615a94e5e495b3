// The file menu's logic with scripted dialogs: save and open round trip, unsaved changes, recent
// files and errors.
#include "board/ui/file_menu.h"

#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <deque>
#include <functional>

#include "board/dxf/dxf_file.h"
#include "board/files/drawing_file.h"
#include "board/jww/jww_file.h"

using namespace pelimator::board;

namespace {

// A window stand-in: records what the menu asks of it and answers dialogs from a script.
class ScriptedHost final : public FileMenuHost {
public:
    ScriptedHost() : m_application(BoardApplication::Create()) {}

    QMenu* FileMenu() override { return &m_menu; }
    QWidget* DialogParent() override { return nullptr; }
    BoardApplication& Application() override { return *m_application; }
    void AddDocumentTab(const BoardDocumentPtr& document) override { tabs.push_back(document); }
    void ShowStatus(const QString& message) override { statuses.push_back(message); }

    QString AskOpenPath(const QString&) override { return Next(); }
    QString AskSavePath(const QString& suggestion, const QString&) override {
        suggestions.push_back(suggestion);
        return Next();
    }
    SaveAnswer AskSaveChanges(const QString&) override {
        ++questions;
        return answer;
    }
    void ShowError(const QString& message) override { errors.push_back(message); }
    bool AskSaveWithLosses(const QStringList& items) override {
        losses.push_back(items);
        return saveDespiteLosses;
    }
    bool AskReplaceWriteProtected(const QString& path) override {
        protectedAsked.push_back(path);
        return replaceProtected;
    }
    bool AskPngOptions(PngOptions& options) override {
        options.pixelsPerMm = pngDpi / 25.4;
        return true;
    }
    bool AskImageSheet(ExportKind, PdfOptions& options, bool& onSheet) override {
        offeredSheets.push_back(options);
        onSheet = imageSheet.has_value();
        if (imageSheet) options = *imageSheet;
        return true;
    }
    bool AskPngSheet(double width, double height, SheetPlacement& placement) override {
        pngTooLarge.push_back({width, height});
        if (!pngSheet) return false;
        placement = *pngSheet;
        return true;
    }

    std::deque<QString> paths;  // answers of the file dialogs; "" is a cancel
    SaveAnswer answer = SaveAnswer::Cancel;
    int questions = 0;
    std::vector<BoardDocumentPtr> tabs;
    QStringList statuses;
    QStringList errors;
    QStringList suggestions;
    std::vector<QStringList> losses;  // what each loss question listed
    bool saveDespiteLosses = false;
    QStringList protectedAsked;  // files the write-protection question named
    bool replaceProtected = false;
    double pngDpi = 254.0;
    std::vector<std::pair<double, double>> pngTooLarge;  // the sizes the question named
    std::optional<SheetPlacement> pngSheet;              // its answer; none: not exported
    std::optional<PdfOptions> imageSheet;   // an image's sheet; none: the drawing's own size
    std::vector<PdfOptions> offeredSheets;  // the sheets the image dialog was opened with

private:
    QString Next() {
        if (paths.empty()) return {};
        QString path = paths.front();
        paths.pop_front();
        return path;
    }
    BoardApplicationPtr m_application;
    QMenu m_menu;
};

// The box of what is not white in image (rows y down): left, top, right, bottom.
QRect Ink(const QImage& image) {
    int left = image.width();
    int top = image.height();
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 128 || std::min({c.red(), c.green(), c.blue()}) > 200) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return {QPoint(left, top), QPoint(right, bottom)};
}

// An SVG rasterised by rsvg-convert at pixelsPerMm (an SVG sized in millimetres).
QImage Rasterised(const QString& svg, double pixelsPerMm) {
    QProcess rsvg;
    const QString dpi = QString::number(pixelsPerMm * 25.4);
    rsvg.start(QStringLiteral("rsvg-convert"), {"-d", dpi, "-p", dpi, "-b", "white", svg});
    if (!rsvg.waitForFinished(60000) || rsvg.exitCode() != 0) return {};
    return QImage::fromData(rsvg.readAllStandardOutput(), "PNG");
}

BoardDocumentPtr AddDrawing(BoardApplication& application) {
    BoardDocumentPtr document = application.AddDocument("図面1");
    document->LayerTable()->Put({3, "波線", {10, 20, 30}, true});
    document->ScaleModel()->SetDenominator(20);
    document->DrawingModel()->AddEntity(MakeLine({0, 0}, {10, 5}, 3));
    document->DrawingModel()->AddEntity(MakeArc({1, 1}, {2, 1}, {1, 2}, 0));
    return document;
}

// Writes bytes to path.
bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

using MakeFile = std::function<QString(const QTemporaryDir&)>;

}  // namespace

Q_DECLARE_METATYPE(MakeFile)

class FileMenuTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> Settings() {
        return std::make_unique<QSettings>(m_dir.filePath("settings.ini"), QSettings::IniFormat);
    }

private slots:
    void init() { QFile::remove(m_dir.filePath("settings.ini")); }

    void SaveThatWouldLoseSomethingAsksFirst() {
        // An AutoCAD 2000 file cannot hold a true colour: the new layer's colour would become
        // the nearest index colour.
        const QString path = m_dir.filePath("r2000.dxf");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(
                "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n"
                "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
        }
        ScriptedHost host;
        FileMenu menu(host, Settings());
        menu.Install();
        QVERIFY(menu.OpenFile(path));
        const BoardDocumentPtr document = host.tabs.front();
        document->LayerTable()->Put({4, "色", {10, 200, 30}, true});
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {1, 1}, 4));
        // The program autosaves before a save that loses something, once the user agreed.
        QList<qint64> sizesBeforeLossySave;
        menu.beforeLossySave = [&] { sizesBeforeLossySave.append(QFile(path).size()); };
        QVERIFY(!menu.Save());
        QCOMPARE(host.losses.size(), std::size_t{1});
        QVERIFY(host.losses.front().join("").contains(QStringLiteral("色番号")));
        QVERIFY(document->DrawingModel()->IsModified());
        QVERIFY2(QFile(path).size() < 200, "the file was left as it was");
        QVERIFY(sizesBeforeLossySave.isEmpty());
        host.saveDespiteLosses = true;
        QVERIFY(menu.Save());
        QCOMPARE(sizesBeforeLossySave.size(), 1);
        QVERIFY(sizesBeforeLossySave.front() < 200);  // before the file was written
        QCOMPARE(host.losses.size(), std::size_t{2});
        QVERIFY(!document->DrawingModel()->IsModified());
        QVERIFY(QFile(path).size() > 200);
    }

    void SaveAsThenOpenGivesTheSameDrawing() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        menu.Install();
        const BoardDocumentPtr original = AddDrawing(host.Application());
        host.paths = {m_dir.filePath("線画")};  // the suffix is added
        QVERIFY(menu.Save());                   // no file yet: asks for one
        const QString path = m_dir.filePath("線画.dxf");
        QVERIFY(QFile::exists(path));
        QCOMPARE(QString::fromStdString(original->Path()), path);
        QCOMPARE(QString::fromStdString(original->Name()), QStringLiteral("線画.dxf"));
        QVERIFY(!original->DrawingModel()->IsModified());

        // Open it again after closing the original.
        host.Application().RemoveDocument(0);
        QVERIFY(menu.OpenFile(path));
        QCOMPARE(host.tabs.size(), std::size_t{1});
        const BoardDocumentPtr opened = host.tabs.front();
        QCOMPARE(host.Application().Active(), opened);
        QCOMPARE(opened->DrawingModel()->Count(), std::size_t{2});
        QVERIFY(opened->DrawingModel()->At(0) == MakeLine({0, 0}, {10, 5}, 3));
        QCOMPARE(opened->ScaleModel()->Denominator(), 20);
        QVERIFY(opened->LayerTable()->Find(3) != nullptr);
        QCOMPARE(opened->LayerTable()->Find(3)->name, std::string("波線"));
        QVERIFY(!opened->DrawingModel()->CanUndo());
        QVERIFY(!opened->DrawingModel()->IsModified());
        QVERIFY(host.statuses.last().contains(QStringLiteral("線 1 本、円弧 1 本")));
        // The long read was announced, and its wait cursor is gone.
        QCOMPARE(host.statuses.at(host.statuses.size() - 2),
                 QStringLiteral("「%1」を開いています...").arg(path));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QCOMPARE(menu.RecentFiles(), QStringList{path});
    }

    void SaveOverwritesTheKnownFileWithoutAsking() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        QVERIFY(menu.SaveTo(document, m_dir.filePath("a.dxf")));
        document->DrawingModel()->AddEntity(MakeLine({5, 5}, {6, 6}));
        QVERIFY(menu.Save());
        QVERIFY(host.suggestions.isEmpty());
        QCOMPARE(ReadDxfFile(m_dir.filePath("a.dxf").toStdString()).content.entities.size(),
                 std::size_t{3});
    }

    // A Jw_cad drawing opens by content, is saved as JWW by default (its suffix given when the
    // name has none) and, saved as DXF, converts at real size.
    void JwwOpensAndSavesAsJwwOrAsAConvertedDxf() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const std::vector<LayerData> layers{{18, "1-2 壁", {}, true}};
        const std::vector<EntityData> entities{MakeLine({0, 0}, {100, 50}, 18)};
        const JwwReadResult empty = ReadJwwBytes(NewJwwBytes(layers, 50.0), "new.jww");
        const QString path = m_dir.filePath("平面図.図面");  // no telling suffix
        WriteJww(path.toStdString(), *empty.source, {layers, entities, 1, 50});
        QVERIFY(menu.OpenFile(path));
        QVERIFY(host.statuses.last().contains(QStringLiteral("JWW")));
        const BoardDocumentPtr opened = host.tabs.back();
        // Its units are the paper's millimetres; its group's scale stays the file's.
        QCOMPARE(opened->ScaleModel()->Denominator(), 1);
        QCOMPARE(opened->Source()->RealPerPaper(18).value_or(0.0), 50.0);
        opened->DrawingModel()->AddEntity(MakeLine({5, 5}, {6, 6}, 18));
        host.paths = {m_dir.filePath("写し")};
        QVERIFY(menu.SaveAs());
        QVERIFY(host.losses.empty());
        const JwwReadResult saved = ReadJwwFile(m_dir.filePath("写し.jww").toStdString());
        QCOMPARE(saved.content.entities.size(), std::size_t{2});
        // As DXF it converts with nothing lost: no question, both lines at real size (1:50) on
        // the layer named as the board names it.
        host.paths = {m_dir.filePath("写し.dxf")};
        QVERIFY(menu.SaveAs());
        QVERIFY(host.losses.empty());
        const DxfReadResult dxf = ReadDxfFile(m_dir.filePath("写し.dxf").toStdString());
        QCOMPARE(dxf.content.entities.size(), std::size_t{2});
        QCOMPARE(dxf.content.entities.front().end.x, 5000.0);
        QCOMPARE(dxf.content.entities.front().end.y, 2500.0);
        const auto onLayer = [&](const EntityData& e) {
            for (const LayerData& layer : dxf.content.layers) {
                if (layer.number == e.layer) return layer.name;
            }
            return std::string();
        };
        QCOMPARE(QString::fromStdString(onLayer(dxf.content.entities.front())),
                 QStringLiteral("1-2 壁"));
    }

    void CancelledSaveChangesNothing() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        host.paths = {QString()};
        QVERIFY(!menu.SaveAs());
        QVERIFY(document->Path().empty());
        QVERIFY(document->DrawingModel()->IsModified());
        QVERIFY(host.errors.isEmpty());
    }

    void BadFileShowsTheErrorAndOpensNothing() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const QString path = m_dir.filePath("壊れ.dxf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nabc\n");
        file.close();
        QVERIFY(!menu.OpenFile(path));
        QCOMPARE(host.Application().DocumentCount(), std::size_t{0});
        QVERIFY(host.tabs.empty());
        QCOMPARE(host.errors.size(), 1);
        QVERIFY(host.errors.front().contains(QStringLiteral("壊れ.dxf")));
        QVERIFY(menu.RecentFiles().isEmpty());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);  // not left waiting
    }

    // An open on the reading thread fails with the very message the open in the window's
    // thread gives, and adds nothing.
    void OpenInTheBackgroundFailsAsOpenFileDoes_data() {
        QTest::addColumn<MakeFile>("make");
        QTest::newRow("missing file")
            << MakeFile([](const QTemporaryDir& dir) { return dir.filePath("ない.dxf"); });
        QTest::newRow("bad number") << MakeFile([](const QTemporaryDir& dir) {
            const QString path = dir.filePath("数.dxf");
            WriteFile(path, "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nabc\n");
            return path;
        });
        QTest::newRow("cut short") << MakeFile([](const QTemporaryDir& dir) {
            const QString path = dir.filePath("途中.dxf");
            WriteFile(path, "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n1\n20");
            return path;
        });
        QTest::newRow("a folder") << MakeFile([](const QTemporaryDir& dir) { return dir.path(); });
    }
    void OpenInTheBackgroundFailsAsOpenFileDoes() {
        QFETCH(MakeFile, make);
        const QString path = make(m_dir);
        ScriptedHost direct;
        FileMenu directMenu(direct, Settings());
        QVERIFY(!directMenu.OpenFile(path));
        QCOMPARE(direct.errors.size(), 1);

        ScriptedHost host;
        FileMenu menu(host, Settings());
        QSignalSpy ended(&menu, &FileMenu::openEnded);
        QVERIFY(menu.OpenFileInBackground(path));
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.front().front().toBool(), false);
        QCOMPARE(host.errors, direct.errors);
        QCOMPARE(host.Application().DocumentCount(), std::size_t{0});
        QVERIFY(host.tabs.empty());
        QVERIFY(!menu.IsOpening());
    }

    // What the background open adds is what OpenFile adds; cancelling one leaves everything as
    // it was, and the next open works.
    void OpenInTheBackgroundAndCancelling() {
        const QString path = m_dir.filePath("背景.dxf");
        {
            ScriptedHost writer;
            SaveDrawing(*AddDrawing(writer.Application()), path.toStdString());
        }
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr before = AddDrawing(host.Application());
        QSignalSpy ended(&menu, &FileMenu::openEnded);

        QVERIFY(menu.OpenFileInBackground(path));
        QVERIFY(menu.IsOpening());
        menu.CancelOpen();
        QVERIFY(!menu.IsOpening());
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.front().front().toBool(), false);
        QTest::qWait(300);  // the read ends on its thread; its result must be dropped
        QCOMPARE(ended.size(), 1);
        QCOMPARE(host.Application().DocumentCount(), std::size_t{1});
        QCOMPARE(host.Application().Active(), before);
        QVERIFY(host.tabs.empty());
        QVERIFY(host.errors.isEmpty());
        QVERIFY(menu.RecentFiles().isEmpty());

        QVERIFY(menu.OpenFileInBackground(path));
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.back().front().toBool(), true);
        QCOMPARE(host.Application().DocumentCount(), std::size_t{2});
        ScriptedHost direct;
        FileMenu directMenu(direct, Settings());
        QVERIFY(directMenu.OpenFile(path));
        const BoardDocumentPtr opened = host.Application().Active();
        const BoardDocumentPtr expected = direct.Application().Active();
        QCOMPARE(host.tabs, std::vector<BoardDocumentPtr>{opened});
        QCOMPARE(opened->Name(), expected->Name());
        QCOMPARE(opened->Path(), expected->Path());
        const auto got = opened->DrawingModel()->Entities();
        const auto want = expected->DrawingModel()->Entities();
        QVERIFY(std::equal(got.begin(), got.end(), want.begin(), want.end()));
        QCOMPARE(ContentOf(*opened).layers, ContentOf(*expected).layers);
        QCOMPARE(host.statuses.back(), direct.statuses.back());
        QCOMPARE(menu.RecentFiles(), QStringList{QFileInfo(path).absoluteFilePath()});
        QVERIFY(!opened->DrawingModel()->IsModified());
    }

    // A file nobody may write (0444) is replaced only when the user says so, and keeps its mode.
    void SaveOverAWriteProtectedFileAsksFirst() {
        const QString path = m_dir.filePath("読取専用.dxf");
        QFile::remove(path);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old");
        }
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        ScriptedHost host;
        FileMenu menu(host, Settings());
        AddDrawing(host.Application());
        for (const bool replace : {false, true}) {
            host.paths = {path};
            host.replaceProtected = replace;
            QCOMPARE(menu.SaveAs(), replace);
            QCOMPARE(host.protectedAsked.size(), replace ? 2 : 1);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll() == "old", !replace);
            const QFileDevice::Permissions modeBits =
                QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
                QFile::ExeOther;
            QCOMPARE(QFile::permissions(path) & modeBits,
                     QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        }
        QVERIFY(host.errors.isEmpty());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    void FailedSaveKeepsTheDocumentModified() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        QVERIFY(!menu.SaveTo(document, m_dir.filePath("no/such/folder/x.dxf")));
        QCOMPARE(host.errors.size(), 1);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(document->DrawingModel()->IsModified());
        QVERIFY(document->Path().empty());
    }

    void OpeningAnOpenFileShowsIt() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        QVERIFY(menu.SaveTo(document, m_dir.filePath("b.dxf")));
        host.Application().AddDocument("other");
        QVERIFY(menu.OpenFile(m_dir.filePath("b.dxf")));
        QCOMPARE(host.Application().DocumentCount(), std::size_t{2});
        QCOMPARE(host.Application().Active(), document);
    }

    void ConfirmClose_data() {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("savePath");
        QTest::addColumn<bool>("mayClose");
        QTest::addColumn<int>("questions");
        QTest::addColumn<bool>("saved");
        using A = FileMenuHost::SaveAnswer;
        QTest::newRow("unmodified: no question")
            << false << int(A::Cancel) << "" << true << 0 << false;
        QTest::newRow("cancel keeps it open")
            << true << int(A::Cancel) << "" << false << 1 << false;
        QTest::newRow("discard lets it go") << true << int(A::Discard) << "" << true << 1 << false;
        QTest::newRow("save then close") << true << int(A::Save) << "c.dxf" << true << 1 << true;
        QTest::newRow("save cancelled keeps it")
            << true << int(A::Save) << "" << false << 1 << false;
        QTest::newRow("save failing keeps it")
            << true << int(A::Save) << "missing/c.dxf" << false << 1 << false;
    }

    void ConfirmClose() {
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(QString, savePath);
        QFETCH(bool, mayClose);
        QFETCH(int, questions);
        QFETCH(bool, saved);
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        if (!modified) document->DrawingModel()->MarkSaved();
        host.answer = static_cast<FileMenuHost::SaveAnswer>(answer);
        host.paths = {savePath.isEmpty() ? QString() : m_dir.filePath(savePath)};
        QFile::remove(m_dir.filePath("c.dxf"));
        QCOMPARE(menu.ConfirmClose(document), mayClose);
        QCOMPARE(host.questions, questions);
        QCOMPARE(QFile::exists(m_dir.filePath("c.dxf")), saved);
    }

    void RecentFilesKeepTheLatestFirstWithoutRepeats() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        menu.Install();
        const BoardDocumentPtr document = AddDrawing(host.Application());
        for (int i = 0; i < 10; ++i) {
            QVERIFY(menu.SaveTo(document, m_dir.filePath(QStringLiteral("r%1.dxf").arg(i))));
        }
        QVERIFY(menu.SaveTo(document, m_dir.filePath("r5.dxf")));
        const QStringList recent = menu.RecentFiles();
        QCOMPARE(recent.size(), FileMenu::kMaxRecentFiles);
        QCOMPARE(recent.front(), m_dir.filePath("r5.dxf"));
        QCOMPARE(recent.count(m_dir.filePath("r5.dxf")), 1);
        QCOMPARE(recent[1], m_dir.filePath("r9.dxf"));
        // Kept across menus through the settings.
        FileMenu again(host, Settings());
        QCOMPARE(again.RecentFiles(), recent);
        // A file that went away is dropped when opening it fails.
        QFile::remove(m_dir.filePath("r9.dxf"));
        QVERIFY(!again.OpenFile(m_dir.filePath("r9.dxf")));
        QVERIFY(!again.RecentFiles().contains(m_dir.filePath("r9.dxf")));
    }

    void ExportWritesTheChosenFile() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        AddDrawing(host.Application());
        host.paths = {m_dir.filePath("out")};
        QVERIFY(menu.Export(ExportKind::Svg));
        QVERIFY(QFile::exists(m_dir.filePath("out.svg")));
        QVERIFY(menu.ExportTo(ExportKind::Png, m_dir.filePath("out.png")));
        QVERIFY(QFile::exists(m_dir.filePath("out.png")));
    }

    // A PNG too large is never the only answer: the window offers fitting it to a sheet, and
    // the image then has the sheet's size at the resolution chosen; declined, nothing is written.
    void PngTooLargeOffersASheet() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        document->ScaleModel()->SetDenominator(1);
        document->DrawingModel()->AddEntity(MakeLine({0, 0}, {5000, 0}, 3));  // 5 m at 1:1
        host.pngDpi = 127.0;                                                  // 5 pixels a mm
        host.paths = {m_dir.filePath("declined.png")};
        QVERIFY(!menu.Export(ExportKind::Png));
        QVERIFY(!QFile::exists(m_dir.filePath("declined.png")));
        QCOMPARE(host.pngTooLarge.size(), std::size_t{1});
        QCOMPARE(host.pngTooLarge[0].first, 25050.0);  // (5000 + 2 x 5) mm x 5
        host.pngSheet =
            SheetPlacement{{PaperSize::A4, PaperOrientation::Landscape}, PdfPlacement::FitToSheet};
        host.paths = {m_dir.filePath("fitted.png")};
        QVERIFY(menu.Export(ExportKind::Png));
        const QImage image(m_dir.filePath("fitted.png"));
        QCOMPARE(image.size(), QSize(1485, 1050));  // 297 x 210 mm at 5 pixels a mm
        QVERIFY(host.errors.isEmpty());
    }

    // SVG and PNG take the sheet the PDF has (one choice for all three): fitted, the picture is
    // the sheet and the drawing fills it within the margin, centred; with no sheet the picture
    // is the drawing plus the margin. Seen on the pictures: rsvg-convert's and the PNG itself.
    void ImagesTakeThePdfsSheetOrTheDrawingsSize() {
        const QString real = QStringLiteral(PELIMATOR_REAL_CORPUS "/real-dxf/librecad_hatches.dxf");
        if (QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")).isEmpty() ||
            !QFile::exists(real)) {
            QSKIP("skipped: no rsvg-convert or no real drawings at " PELIMATOR_REAL_CORPUS);
        }
        ScriptedHost host;
        FileMenu menu(host, Settings());
        QVERIFY(menu.OpenFile(real));
        host.pngDpi = 127.0;  // 5 pixels a mm, as the SVG is rasterised
        host.imageSheet =
            PdfOptions{PaperSize::A4, PaperOrientation::Portrait, PdfPlacement::FitToSheet, {}};
        host.paths = {m_dir.filePath("a4.svg"), m_dir.filePath("a4.png")};
        QVERIFY(menu.Export(ExportKind::Svg));
        QVERIFY(menu.Export(ExportKind::Png));
        QCOMPARE(host.offeredSheets.size(), std::size_t{2});  // the PNG was offered the SVG's
        QCOMPARE(host.offeredSheets[1].paper, PaperSize::A4);
        QCOMPARE(host.offeredSheets[1].orientation, PaperOrientation::Portrait);
        const QImage svg = Rasterised(m_dir.filePath("a4.svg"), 5.0);
        const QImage png(m_dir.filePath("a4.png"));
        for (const QImage& image : {svg, png}) {
            QCOMPARE(image.size(), QSize(1050, 1485));  // 210 x 297 mm
            const QRect ink = Ink(image);
            // Centred, and touching the 5 mm (25 pixel) margin on one side or the other.
            QVERIFY2(std::abs(ink.left() - (1049 - ink.right())) <= 4 &&
                         std::abs(ink.top() - (1484 - ink.bottom())) <= 4,
                     qPrintable(QStringLiteral("ink %1 %2 %3 %4")
                                    .arg(ink.left())
                                    .arg(ink.top())
                                    .arg(ink.right())
                                    .arg(ink.bottom())));
            QVERIFY2(std::min(ink.left(), ink.top()) >= 20 && std::min(ink.left(), ink.top()) <= 30,
                     qPrintable(QStringLiteral("margin %1 %2").arg(ink.left()).arg(ink.top())));
        }
        const QRect a = Ink(svg);
        const QRect b = Ink(png);
        QVERIFY(std::abs(a.width() - b.width()) <= 4 && std::abs(a.height() - b.height()) <= 4);
        // No sheet: the drawing's own size, with its margin all round.
        host.imageSheet.reset();
        host.paths = {m_dir.filePath("own.svg")};
        QVERIFY(menu.Export(ExportKind::Svg));
        const QImage own = Rasterised(m_dir.filePath("own.svg"), 5.0);
        const QRect ink = Ink(own);
        QVERIFY(!own.isNull());
        QVERIFY2(
            std::abs(ink.left() - 25) <= 4 && std::abs(own.width() - 1 - ink.right() - 25) <= 4,
            qPrintable(QStringLiteral("%1 of %2").arg(ink.right()).arg(own.width())));
        QVERIFY(own.size() != svg.size());
        QVERIFY(host.errors.isEmpty());
    }

    // A drawing with nothing shown (here: all on a hidden layer) would export a blank page: the
    // window says so and writes nothing, in every format, and never reports it written.
    void EmptyExportIsAnErrorNotWritten() {
        ScriptedHost host;
        FileMenu menu(host, Settings());
        const BoardDocumentPtr document = AddDrawing(host.Application());
        document->LayerTable()->Put({3, "波線", {10, 20, 30}, false});
        document->LayerTable()->Put({0, "0", {}, false});
        for (const ExportKind kind : {ExportKind::Svg, ExportKind::Png, ExportKind::Pdf}) {
            const QString path = m_dir.filePath(QStringLiteral("blank%1").arg(int(kind)));
            QVERIFY(!menu.ExportTo(kind, path));
            QVERIFY(!QFile::exists(path));
        }
        QCOMPARE(host.errors.size(), 3);
        QVERIFY2(host.errors.front().contains(QStringLiteral("表示されるものがありません")),
                 qPrintable(host.errors.front()));
        for (const QString& status : host.statuses) {
            QVERIFY2(!status.contains(QStringLiteral("エクスポートしました")), qPrintable(status));
        }
    }
};

QTEST_MAIN(FileMenuTest)
#include "file_menu_test.moc"
