// Pelimator: the tool's main window, with the board as the CAD host it draws into.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <memory>

#include "board/model/application.h"
#include "board/model/factory.h"
#include "board/ui/board_window.h"
#include "board/ui/window_file_menu.h"
#include "settings/settings_file.h"
#include "settings/ui/f_setting.h"
#include "tool/board_choices_menu.h"
#include "tool/f_main.h"
#include "tool/single_instance.h"

int main(int argc, char* argv[]) {
    using namespace pelimator;
    QApplication app(argc, argv);  // Qt's own options only; the program takes no arguments
    QApplication::setApplicationName(QStringLiteral("Pelimator"));
    QApplication::setOrganizationName(QStringLiteral("Pelimator"));
    // The interface is Japanese, so Qt's own dialogs (file dialogs, buttons) are too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    const QString settingsPath = QString::fromStdString(
        settings::SettingsFilePath(QCoreApplication::applicationDirPath().toStdString()));

    SingleInstance instance(QStringLiteral("pelimator"));
    const bool anotherInstanceRunning = !instance.TryBecomePrimary();

    // The board stands in for the CAD program the tool connects to: it is there from the start
    // and shows its window when the tool makes it visible.
    const auto board = board::BoardApplication::Create();
    board::BoardWindow boardWindow(board);
    board::WindowFileMenu fileMenu(boardWindow);
    const auto factory = std::make_shared<board::BoardFactory>(board);
    // The line tool's own choices in the board's menus; the tool reads them at each move and run.
    AddBoardChoiceActions(boardWindow.ViewMenu(), boardWindow.DrawingMenu(), settingsPath,
                          &boardWindow);

    QPointer<F_Main> mainWindow;
    const auto openMainWindow = [&](bool refuse) {
        mainWindow = new F_Main(factory, settingsPath);
        mainWindow->setAttribute(Qt::WA_DeleteOnClose);
        mainWindow->SetSettingsOpener([](const QString& path) {
            settings::F_Setting dialog(path.toStdString());
            dialog.exec();
        });
        if (!mainWindow->Form_Load(refuse)) return false;
        mainWindow->show();
        return true;
    };
    if (!openMainWindow(anotherInstanceRunning)) return 0;

    // A later start brings the main window forward, or opens it again when the tool had ended.
    QObject::connect(&instance, &SingleInstance::ActivationRequested, [&] {
        if (mainWindow) {
            mainWindow->showNormal();
            mainWindow->raise();
            mainWindow->activateWindow();
        } else {
            openMainWindow(false);
        }
    });
    return QApplication::exec();
}
