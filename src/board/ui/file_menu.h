// The file menu's actions of the board window: open, save, save as, export, recent files, and
// asking before unsaved changes are lost.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "board/export/export.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/ui/background_read.h"

class QAction;
class QMenu;
class QSettings;
class QShortcut;
class QTimer;
class QWidget;

namespace pelimator::board {

enum class ExportKind { Svg, Png, Pdf };

// What the file menu needs from the window. The dialogs have default implementations (file
// dialogs, message boxes, input dialogs parented to DialogParent()); tests replace them.
class FileMenuHost {
public:
    virtual ~FileMenuHost() = default;

    // The menu the actions go into (after whatever the window put there, such as 新規).
    virtual QMenu* FileMenu() = 0;
    virtual QWidget* DialogParent() = 0;
    virtual BoardApplication& Application() = 0;
    // Shows a document just opened in a tab of its own (it is already the active document).
    virtual void AddDocumentTab(const BoardDocumentPtr& document) = 0;
    // The document's name or path changed (after saving under a new name).
    virtual void DocumentRenamed(const BoardDocumentPtr& document) { (void)document; }
    virtual void ShowStatus(const QString& message) = 0;
    // A file is being opened: message says which (shown with a busy bar); empty when it ended.
    virtual void ShowOpening(const QString& message) { ShowStatus(message); }

    // Dialogs. An empty path means the user cancelled.
    virtual QString AskOpenPath(const QString& folder);
    virtual QString AskSavePath(const QString& suggestion, const QString& filter);
    enum class SaveAnswer { Save, Discard, Cancel };
    virtual SaveAnswer AskSaveChanges(const QString& documentName);
    virtual void ShowError(const QString& message);
    // Before a save that cannot keep everything: true to save all the same.
    virtual bool AskSaveWithLosses(const QStringList& losses);
    // Before replacing a file whose permissions forbid writing it: true to replace it all the
    // same (it keeps its permissions).
    virtual bool AskReplaceWriteProtected(const QString& path);
    // false: cancelled.
    virtual bool AskPdfOptions(PdfOptions& options);
    virtual bool AskPngOptions(PngOptions& options);
    // An SVG's or PNG's sheet: the PDF's sheet and placement (options, shared), or the
    // drawing's own size (onSheet false). false: cancelled.
    virtual bool AskImageSheet(ExportKind kind, PdfOptions& options, bool& onSheet);
    // A PNG at the resolution chosen would be width x height pixels, more than an image may have:
    // the sheet to fit the drawing to instead, starting from placement (false: not exported).
    virtual bool AskPngSheet(double width, double height, SheetPlacement& placement);
};

// The actions and their logic. The functions below are what the actions run; each reports
// success with true and failures through the host (a message box and nothing changed).
class FileMenu final : public QObject {
    Q_OBJECT

public:
    // settings: where the recent files are kept (the program's QSettings when null).
    explicit FileMenu(FileMenuHost& host, std::unique_ptr<QSettings> settings = nullptr,
                      QObject* parent = nullptr);
    ~FileMenu() override;
    FileMenu(const FileMenu&) = delete;
    FileMenu& operator=(const FileMenu&) = delete;
    FileMenu(FileMenu&&) = delete;
    FileMenu& operator=(FileMenu&&) = delete;

    // Adds 開く..., 上書き保存, 名前を付けて保存..., エクスポート and 最近使ったファイル to the
    // host's menu.
    void Install();

    // Opens path as a new document (or shows it when it is open already).
    bool OpenFile(const QString& path);
    // The same, read on a thread of its own: the window keeps answering, the status bar shows
    // progress after kProgressDelayMs, and CancelOpen (Esc) gives the open up and leaves
    // everything as it was. False when it cannot start (another open runs); the end, failures
    // (the same messages as OpenFile's) included, comes through openEnded().
    bool OpenFileInBackground(const QString& path);
    // Gives up the open in progress.
    void CancelOpen();
    [[nodiscard]] bool IsOpening() const noexcept;
    static constexpr int kProgressDelayMs = 500;
    // Asks for a file, then opens it.
    bool Open();
    // Saves the active document to its file, or asks for one when it has none.
    bool Save();
    // Asks for a file name, then saves the active document there.
    bool SaveAs();
    // Saves document to path; on success it belongs to that file and counts as saved.
    bool SaveTo(const BoardDocumentPtr& document, const QString& path);
    // Asks for a file (and the options), then exports the active document.
    bool Export(ExportKind kind);
    bool ExportTo(ExportKind kind, const QString& path);

    // Before a document is closed: true when it may go (unmodified, saved, or its changes
    // discarded by the user); false to keep it open.
    bool ConfirmClose(const BoardDocumentPtr& document);
    // The same for every open document, before the window closes.
    bool ConfirmCloseAll();

    // Runs before a save that cannot keep everything (a conversion to another format, a version
    // that holds less) once the user agreed to it: the program autosaves there.
    std::function<void()> beforeLossySave;

    [[nodiscard]] QStringList RecentFiles() const;
    static constexpr int kMaxRecentFiles = 8;

    [[nodiscard]] QAction* OpenAction() const noexcept { return m_open; }
    [[nodiscard]] QAction* SaveAction() const noexcept { return m_save; }
    [[nodiscard]] QAction* SaveAsAction() const noexcept { return m_saveAs; }

signals:
    // An open in the background ended: opened, failed (and reported) or cancelled.
    void openEnded(bool opened);

private:
    // Whether the PNG of document at the chosen resolution may be made, after offering the
    // host a sheet to fit it to when it would be too large (false: not exported).
    bool PngFits(const BoardDocument& document);
    // Shows the document of absolute when it is open already (true).
    bool ShowIfOpen(const QString& absolute);
    // After a read: adds the drawing (true), or reports what failed.
    bool FinishOpen(const QString& absolute, const std::function<OpenedDrawing()>& open);
    void ReadEnded(const QString& path, const std::shared_ptr<DrawingRead>& result,
                   const QString& error);
    void EndProgress();

    void Remember(const QString& path);
    void Forget(const QString& path);
    void RebuildRecentMenu();
    void UpdateActions();
    [[nodiscard]] BoardDocumentPtr Active() const;

    FileMenuHost& m_host;
    std::unique_ptr<QSettings> m_settings;
    QAction* m_open = nullptr;
    QAction* m_save = nullptr;
    QAction* m_saveAs = nullptr;
    QMenu* m_exportMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    QString m_lastFolder;
    PdfOptions m_pdfOptions;
    PngOptions m_pngOptions;
    SvgOptions m_svgOptions;
    bool m_imageOnSheet = false;  // SVG and PNG on the PDF's sheet, else the drawing's size
    BackgroundRead* m_read = nullptr;
    QTimer* m_progressTimer = nullptr;
    QShortcut* m_cancelShortcut = nullptr;
};

}  // namespace pelimator::board
