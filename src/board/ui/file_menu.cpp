// The file menu's actions of the board window: open, save, save as, export, recent files, and
// asking before unsaved changes are lost.
#include "board/ui/file_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <array>
#include <optional>
#include <tuple>

#include "base/errors.h"
#include "base/file.h"
#include "board/files/drawing_file.h"
#include "board/ui/pdf_dialog.h"

namespace pelimator::board {

namespace {

const QString kRecentKey = QStringLiteral("board/recentFiles");
// Opening takes every format (told by content): "図面 (*.dxf *.jww);;DXF 図面 (*.dxf);;...".
QString OpenFilter() {
    QStringList patterns;
    QStringList entries;
    for (const FileFormat* format : FileFormats()) {
        patterns << QStringLiteral("*") + QString::fromUtf8(format->Extension());
        entries << QString::fromUtf8(format->DialogFilter().data(),
                                     static_cast<qsizetype>(format->DialogFilter().size()));
    }
    return QStringLiteral("図面 (") + patterns.join(' ') + QStringLiteral(");;") +
           entries.join(QStringLiteral(";;"));
}

// Saving offers every format, the drawing's own first.
QString SaveFilter(const BoardDocument& document) {
    const FileFormat& own = SaveFormat(document, document.Path());
    QStringList entries;
    for (const FileFormat* format : FileFormats()) {
        const QString entry = QString::fromUtf8(
            format->DialogFilter().data(), static_cast<qsizetype>(format->DialogFilter().size()));
        if (format == &own) {
            entries.prepend(entry);
        } else {
            entries << entry;
        }
    }
    return entries.join(QStringLiteral(";;"));
}

QString WithSuffix(const QString& path, const QString& suffix) {
    if (path.isEmpty() || QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0) {
        return path;
    }
    return path + "." + suffix;
}

// A drawing file's name: kept when it names a format, else given the drawing's own suffix.
QString WithDrawingSuffix(const QString& path, const QString& own) {
    if (FormatOfExtension(path.toStdString()) != nullptr) return path;
    return WithSuffix(path, own);
}

// The suffix of the document's own format, without its dot.
QString OwnSuffix(const BoardDocument& document) {
    return QString::fromUtf8(SaveFormat(document, document.Path()).Extension() + 1);
}

// A wait cursor while a file is read or written: opening or saving a large drawing takes
// seconds, and the window does not repaint meanwhile. The status text is shown first.
class BusyGuard {
public:
    BusyGuard(FileMenuHost& host, const QString& message) {
        host.ShowStatus(message);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyGuard() { QGuiApplication::restoreOverrideCursor(); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
    BusyGuard(BusyGuard&&) = delete;
    BusyGuard& operator=(BusyGuard&&) = delete;
};

// The drawing scale as the sheet dialog shows it, e.g. "1:100".
QString ScaleText(const BoardDocument& document) {
    const BoardScale& scale = *document.ScaleModel();
    return QStringLiteral("%1:%2").arg(scale.Numerator()).arg(scale.Denominator());
}

}  // namespace

QString FileMenuHost::AskOpenPath(const QString& folder) {
    // NOLINTNEXTLINE(readability-suspicious-call-argument): the folder is the dialog's folder
    return QFileDialog::getOpenFileName(DialogParent(), QStringLiteral("開く"), folder,
                                        OpenFilter());
}

QString FileMenuHost::AskSavePath(const QString& suggestion, const QString& filter) {
    return QFileDialog::getSaveFileName(DialogParent(), QStringLiteral("名前を付けて保存"),
                                        suggestion, filter);
}

FileMenuHost::SaveAnswer FileMenuHost::AskSaveChanges(const QString& documentName) {
    const auto button = QMessageBox::question(
        DialogParent(), QStringLiteral("Pelimator"),
        QStringLiteral("「%1」は変更されています。保存しますか?").arg(documentName),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (button == QMessageBox::Save) return SaveAnswer::Save;
    if (button == QMessageBox::Discard) return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

bool FileMenuHost::AskSaveWithLosses(const QStringList& losses) {
    const auto button = QMessageBox::warning(
        DialogParent(), QStringLiteral("Pelimator"),
        QStringLiteral("このまま保存すると、次の内容が失われます:\n\n・%1\n\n保存しますか?")
            .arg(losses.join(QStringLiteral("\n・"))),
        QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel);
    return button == QMessageBox::Save;
}

bool FileMenuHost::AskReplaceWriteProtected(const QString& path) {
    const auto button = QMessageBox::warning(
        DialogParent(), QStringLiteral("Pelimator"),
        QStringLiteral("「%1」は書き込みが禁止されています (読み取り専用)。\n\n"
                       "置き換えますか? (ファイルの許可はそのまま残ります)")
            .arg(QFileInfo(path).fileName()),
        QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel);
    return button == QMessageBox::Save;
}

void FileMenuHost::ShowError(const QString& message) {
    QMessageBox::warning(DialogParent(), QStringLiteral("Pelimator"), message);
}

bool FileMenuHost::AskPdfOptions(PdfOptions& options) {
    const BoardDocumentPtr document = Application().Active();
    if (!document) return false;
    PdfDialog dialog(ShownExtentMm(*document), ScaleText(*document), options, DialogParent());
    dialog.StartOnOwnPaper(DrawingPaperMm(*document));
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.Options();
    return true;
}

bool FileMenuHost::AskImageSheet(ExportKind kind, PdfOptions& options, bool& onSheet) {
    const BoardDocumentPtr document = Application().Active();
    if (!document) return false;
    PdfDialog dialog(ShownExtentMm(*document), ScaleText(*document), options, DialogParent());
    dialog.OfferDrawingSize(kind == ExportKind::Svg ? QStringLiteral("SVG") : QStringLiteral("PNG"),
                            onSheet);
    dialog.StartOnOwnPaper(DrawingPaperMm(*document));
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.Options();
    onSheet = dialog.OnSheet();
    return true;
}

bool FileMenuHost::AskPngSheet(double width, double height, SheetPlacement& placement) {
    const QString text =
        QStringLiteral(
            "画像が大きすぎます (%1 x %2 ピクセル、%3)。\n"
            "用紙に合わせて書き出しますか? (用紙はこの後で選べます。"
            "解像度を下げるなら「いいえ」を押して、もう一度エクスポートして下さい)")
            .arg(width, 0, 'f', 0)
            .arg(height, 0, 'f', 0)
            .arg(QString::fromUtf8(kPngLimitsText));
    if (QMessageBox::question(DialogParent(), QStringLiteral("PNG"), text) != QMessageBox::Yes) {
        return false;
    }
    PdfOptions options;
    options.paper = placement.sheet.paper;
    options.orientation = placement.sheet.orientation;
    options.placement = placement.placement;
    if (!AskPdfOptions(options)) return false;
    placement = {{options.paper, options.orientation}, options.placement};
    return true;
}

bool FileMenuHost::AskPngOptions(PngOptions& options) {
    bool ok = false;
    const double dpi = QInputDialog::getDouble(DialogParent(), QStringLiteral("PNG"),
                                               QStringLiteral("解像度 (dpi):"),
                                               options.pixelsPerMm * 25.4, 25.0, 2400.0, 0, &ok);
    if (!ok) return false;
    options.pixelsPerMm = dpi / 25.4;
    return true;
}

FileMenu::FileMenu(FileMenuHost& host, std::unique_ptr<QSettings> settings, QObject* parent)
    : QObject(parent),
      m_host(host),
      m_settings(settings ? std::move(settings)
                          : std::make_unique<QSettings>(QStringLiteral("Pelimator"),
                                                        QStringLiteral("Pelimator"))),
      m_read(new BackgroundRead(this)),
      m_progressTimer(new QTimer(this)) {
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setInterval(kProgressDelayMs);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        m_host.ShowOpening(
            QStringLiteral("「%1」を開いています... (Esc で中止)").arg(m_read->Path()));
    });
    connect(m_read, &BackgroundRead::finished, this, &FileMenu::ReadEnded);
    if (QWidget* window = m_host.DialogParent()) {
        m_cancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        m_cancelShortcut->setContext(Qt::WindowShortcut);
        m_cancelShortcut->setEnabled(false);
        connect(m_cancelShortcut, &QShortcut::activated, this, &FileMenu::CancelOpen);
    }
}

FileMenu::~FileMenu() = default;

void FileMenu::Install() {
    QMenu* menu = m_host.FileMenu();
    // Ours go after 新規 and before the window's closing entries (its first separator).
    QAction* before = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            before = action;
            break;
        }
    }
    const auto add = [&](const QString& text, auto slot) {
        auto* action = new QAction(text, menu);
        connect(action, &QAction::triggered, this, slot);
        menu->insertAction(before, action);
        return action;
    };
    const auto addMenu = [&](const QString& text) {
        auto* submenu = new QMenu(text, menu);
        menu->insertMenu(before, submenu);
        return submenu;
    };
    m_open = add(QStringLiteral("開く(&O)..."), [this] { Open(); });
    m_open->setShortcut(QKeySequence::Open);
    m_recentMenu = addMenu(QStringLiteral("最近使ったファイル(&R)"));
    menu->insertSeparator(before);
    m_save = add(QStringLiteral("上書き保存(&S)"), [this] { Save(); });
    m_save->setShortcut(QKeySequence::Save);
    m_saveAs = add(QStringLiteral("名前を付けて保存(&A)..."), [this] { SaveAs(); });
    m_saveAs->setShortcut(QKeySequence::SaveAs);
    m_exportMenu = addMenu(QStringLiteral("エクスポート(&E)"));
    m_exportMenu->addAction(QStringLiteral("SVG..."), this, [this] { Export(ExportKind::Svg); });
    m_exportMenu->addAction(QStringLiteral("PNG..."), this, [this] { Export(ExportKind::Png); });
    m_exportMenu->addAction(QStringLiteral("PDF..."), this, [this] { Export(ExportKind::Pdf); });
    connect(menu, &QMenu::aboutToShow, this, &FileMenu::UpdateActions);
    RebuildRecentMenu();
    UpdateActions();
}

BoardDocumentPtr FileMenu::Active() const { return m_host.Application().Active(); }

void FileMenu::UpdateActions() {
    const bool any = Active() != nullptr;
    if (m_save != nullptr) m_save->setEnabled(any);
    if (m_saveAs != nullptr) m_saveAs->setEnabled(any);
    if (m_exportMenu != nullptr) m_exportMenu->setEnabled(any);
}

bool FileMenu::Open() {
    const QString path = m_host.AskOpenPath(m_lastFolder);
    return !path.isEmpty() && OpenFileInBackground(path);
}

bool FileMenu::ShowIfOpen(const QString& absolute) {
    BoardApplication& application = m_host.Application();
    for (std::size_t i = 0; i < application.DocumentCount(); ++i) {
        const BoardDocumentPtr& document = application.DocumentAt(i);
        if (!document->Path().empty() &&
            QFileInfo(QString::fromStdString(document->Path())).absoluteFilePath() == absolute) {
            application.ActivateDocument(document.get());
            m_host.ShowStatus(QStringLiteral("「%1」はすでに開いています")
                                  .arg(QString::fromStdString(document->Name())));
            return true;
        }
    }
    return false;
}

bool FileMenu::FinishOpen(const QString& absolute, const std::function<OpenedDrawing()>& open) {
    try {
        const OpenedDrawing opened = open();
        m_host.AddDocumentTab(opened.document);
        m_host.ShowStatus(QString::fromStdString(opened.Summary()));
    } catch (const Error& error) {
        if (!QFileInfo::exists(absolute)) Forget(absolute);
        m_host.ShowError(QString::fromStdString(error.what()));
        return false;
    }
    m_lastFolder = QFileInfo(absolute).absolutePath();
    Remember(absolute);
    UpdateActions();
    return true;
}

bool FileMenu::OpenFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (ShowIfOpen(absolute)) return true;
    return FinishOpen(absolute, [&] {
        const BusyGuard busy(m_host, QStringLiteral("「%1」を開いています...").arg(absolute));
        return OpenDrawing(m_host.Application(), absolute.toStdString());
    });
}

bool FileMenu::OpenFileInBackground(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (ShowIfOpen(absolute)) {
        emit openEnded(true);
        return true;
    }
    if (!m_read->Start(absolute)) {
        m_host.ShowStatus(QStringLiteral("「%1」を開いているところです").arg(m_read->Path()));
        return false;
    }
    m_host.ShowStatus(
        m_read->Waiting()
            ? QStringLiteral(
                  "「%1」を開きます: 中止した読み込みが終わるのを待っています (Esc で中止)")
                  .arg(absolute)
            : QStringLiteral("「%1」を開いています... (Esc で中止)").arg(absolute));
    m_progressTimer->start();
    if (m_cancelShortcut != nullptr) m_cancelShortcut->setEnabled(true);
    return true;
}

bool FileMenu::IsOpening() const noexcept { return m_read->Running(); }

void FileMenu::CancelOpen() {
    if (!m_read->Running()) return;
    const QString path = m_read->Path();
    m_read->Cancel();
    EndProgress();
    m_host.ShowStatus(QStringLiteral("「%1」を開くのを中止しました").arg(path));
    emit openEnded(false);
}

void FileMenu::EndProgress() {
    m_progressTimer->stop();
    if (m_cancelShortcut != nullptr) m_cancelShortcut->setEnabled(false);
    m_host.ShowOpening({});
}

void FileMenu::ReadEnded(const QString& path, const std::shared_ptr<DrawingRead>& result,
                         const QString& error) {
    EndProgress();
    bool opened = false;
    if (result) {
        opened = FinishOpen(path, [&] {
            return AddReadDrawing(m_host.Application(), path.toStdString(), std::move(*result));
        });
    } else {
        if (!QFileInfo::exists(path)) Forget(path);
        m_host.ShowError(error);
    }
    emit openEnded(opened);
}

bool FileMenu::Save() {
    const BoardDocumentPtr document = Active();
    if (!document) return false;
    if (document->Path().empty()) return SaveAs();
    return SaveTo(document, QString::fromStdString(document->Path()));
}

bool FileMenu::SaveAs() {
    const BoardDocumentPtr document = Active();
    if (!document) return false;
    const QString own = OwnSuffix(*document);
    QString suggestion = QString::fromStdString(document->Path());
    if (suggestion.isEmpty()) {
        suggestion = QDir(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder)
                         .filePath(WithSuffix(QString::fromStdString(document->Name()), own));
    }
    const QString path =
        WithDrawingSuffix(m_host.AskSavePath(suggestion, SaveFilter(*document)), own);
    return !path.isEmpty() && SaveTo(document, path);
}

bool FileMenu::SaveTo(const BoardDocumentPtr& document, const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    try {
        // Nothing is dropped without asking: list what the file's version cannot hold.
        const std::vector<std::string> losses = SaveLosses(*document, absolute.toStdString());
        if (!losses.empty()) {
            QStringList items;
            for (const std::string& loss : losses) items << QString::fromStdString(loss);
            if (!m_host.AskSaveWithLosses(items)) return false;
            if (beforeLossySave) beforeLossySave();
        }
        // A file its permissions protect is replaced only when the user says so.
        std::optional<WriteProtectedConsent> consent;
        if (IsWriteProtected(absolute.toStdString())) {
            if (!m_host.AskReplaceWriteProtected(absolute)) return false;
            consent.emplace(absolute.toStdString());
        }
        const BusyGuard busy(m_host, QStringLiteral("「%1」に保存しています...").arg(absolute));
        SaveDrawing(*document, absolute.toStdString());
    } catch (const Error& error) {
        m_host.ShowError(QString::fromStdString(error.what()));
        return false;
    }
    m_host.DocumentRenamed(document);
    m_host.ShowStatus(QStringLiteral("「%1」を保存しました").arg(absolute));
    m_lastFolder = QFileInfo(absolute).absolutePath();
    Remember(absolute);
    return true;
}

bool FileMenu::Export(ExportKind kind) {
    const BoardDocumentPtr document = Active();
    if (!document) return false;
    static constexpr std::array<const char*, 3> kSuffix{"svg", "png", "pdf"};
    static constexpr std::array<const char*, 3> kFilter{"SVG 画像 (*.svg)", "PNG 画像 (*.png)",
                                                        "PDF (*.pdf)"};
    const auto index = static_cast<std::size_t>(kind);
    if (kind == ExportKind::Pdf && !m_host.AskPdfOptions(m_pdfOptions)) return false;
    if (kind != ExportKind::Pdf) {
        // One sheet choice for every format: what was chosen for the PDF is offered here.
        if (!m_host.AskImageSheet(kind, m_pdfOptions, m_imageOnSheet)) return false;
        std::optional<SheetPlacement> onSheet;
        if (m_imageOnSheet) {
            onSheet = SheetPlacement{{m_pdfOptions.paper, m_pdfOptions.orientation},
                                     m_pdfOptions.placement};
        }
        m_svgOptions.onSheet = onSheet;
        m_pngOptions.onSheet = onSheet;
    }
    if (kind == ExportKind::Png && (!m_host.AskPngOptions(m_pngOptions) || !PngFits(*document))) {
        return false;
    }
    const QString base = QFileInfo(QString::fromStdString(document->Name())).completeBaseName();
    const QString suggestion =
        QDir(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder).filePath(base);
    const QString path = WithSuffix(m_host.AskSavePath(WithSuffix(suggestion, kSuffix[index]),
                                                       QString::fromUtf8(kFilter[index])),
                                    kSuffix[index]);
    return !path.isEmpty() && ExportTo(kind, path);
}

bool FileMenu::PngFits(const BoardDocument& document) {
    double width = 0.0;
    double height = 0.0;
    try {
        std::tie(width, height) = PngPixels(document, m_pngOptions);
    } catch (const Error&) {
        return true;  // nothing to show: the export says so
    }
    if (PngWithinLimits(width, height)) return true;
    // Never only "too large": the drafter may fit the drawing to a sheet instead.
    SheetPlacement placement{{PaperSize::A3, PaperOrientation::Landscape},
                             PdfPlacement::FitToSheet};
    if (!m_host.AskPngSheet(width, height, placement)) return false;
    m_pngOptions.onSheet = placement;
    return true;
}

bool FileMenu::ExportTo(ExportKind kind, const QString& path) {
    const BoardDocumentPtr document = Active();
    if (!document) return false;
    try {
        const BusyGuard busy(m_host, QStringLiteral("「%1」にエクスポートしています...").arg(path));
        switch (kind) {
            case ExportKind::Svg:
                ExportSvg(*document, path.toStdString(), m_svgOptions);
                break;
            case ExportKind::Png:
                ExportPng(*document, path.toStdString(), m_pngOptions);
                break;
            case ExportKind::Pdf:
                ExportPdf(*document, path.toStdString(), m_pdfOptions);
                break;
        }
    } catch (const Error& error) {
        m_host.ShowError(QString::fromStdString(error.what()));
        return false;
    }
    m_host.ShowStatus(QStringLiteral("「%1」にエクスポートしました").arg(path));
    return true;
}

bool FileMenu::ConfirmClose(const BoardDocumentPtr& document) {
    if (!document || !document->DrawingModel()->IsModified()) return true;
    switch (m_host.AskSaveChanges(QString::fromStdString(document->Name()))) {
        case FileMenuHost::SaveAnswer::Discard:
            return true;
        case FileMenuHost::SaveAnswer::Cancel:
            return false;
        case FileMenuHost::SaveAnswer::Save:
            break;
    }
    if (!document->Path().empty()) {
        return SaveTo(document, QString::fromStdString(document->Path()));
    }
    const QString own = OwnSuffix(*document);
    const QString suggestion =
        QDir(m_lastFolder.isEmpty() ? QDir::homePath() : m_lastFolder)
            .filePath(WithSuffix(QString::fromStdString(document->Name()), own));
    const QString path =
        WithDrawingSuffix(m_host.AskSavePath(suggestion, SaveFilter(*document)), own);
    return !path.isEmpty() && SaveTo(document, path);
}

bool FileMenu::ConfirmCloseAll() {
    BoardApplication& application = m_host.Application();
    for (std::size_t i = 0; i < application.DocumentCount(); ++i) {
        if (!ConfirmClose(application.DocumentAt(i))) return false;
    }
    return true;
}

QStringList FileMenu::RecentFiles() const { return m_settings->value(kRecentKey).toStringList(); }

void FileMenu::Remember(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kMaxRecentFiles) files.removeLast();
    m_settings->setValue(kRecentKey, files);
    RebuildRecentMenu();
}

void FileMenu::Forget(const QString& path) {
    QStringList files = RecentFiles();
    if (files.removeAll(path) == 0) return;
    m_settings->setValue(kRecentKey, files);
    RebuildRecentMenu();
}

void FileMenu::RebuildRecentMenu() {
    if (m_recentMenu == nullptr) return;
    m_recentMenu->clear();
    const QStringList files = RecentFiles();
    int number = 1;
    for (const QString& file : files) {
        const QString label =
            QStringLiteral("&%1 %2").arg(number++).arg(QFileInfo(file).fileName());
        QAction* action =
            m_recentMenu->addAction(label, this, [this, file] { OpenFileInBackground(file); });
        action->setToolTip(file);
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

}  // namespace pelimator::board
