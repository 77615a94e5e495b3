// Pelimator: the tool's panel beside the board, the CAD host it draws into.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>

#include "app/arguments.h"
#include "app/program.h"
#include "settings/settings_location.h"
#include "tool/single_instance.h"

namespace {

QStringList RawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pelimator;
    // Help and version without a display: answered before the application connects to one.
    const app::Arguments early = app::ParseArguments(RawArguments(argc, argv), QDir::currentPath());
    if (early.request == app::Arguments::Request::Help) {
        Print(stdout, app::UsageText(QStringLiteral("pelimator")));
        return 0;
    }
    if (early.request == app::Arguments::Request::Version) {
        Print(stdout, app::VersionText());
        return 0;
    }

    QApplication application(argc, argv);  // takes Qt's own options out of the arguments
    QApplication::setApplicationName(QStringLiteral("Pelimator"));
    QApplication::setOrganizationName(QStringLiteral("Pelimator"));
    QApplication::setApplicationVersion(QStringLiteral(PELIMATOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("pelimator"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelimator.svg")));
    // The interface is Japanese, so Qt's own dialogs (file dialogs, buttons) are too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    const app::Arguments arguments =
        app::ParseArguments(QApplication::arguments().mid(1), QDir::currentPath());
    switch (arguments.request) {
        case app::Arguments::Request::Help:
            Print(stdout, app::UsageText(QStringLiteral("pelimator")));
            return 0;
        case app::Arguments::Request::Version:
            Print(stdout, app::VersionText());
            return 0;
        case app::Arguments::Request::Invalid:
            Print(
                stderr,
                QStringLiteral("pelimator: %1\n詳しくは pelimator --help\n").arg(arguments.error));
            return 2;
        case app::Arguments::Request::Run:
            break;
    }

    // A later start on the same display hands its drawings to the running one, which opens them
    // and comes forward; a start on another display, login or remote session runs its own.
    const DisplayPlace place = CurrentDisplayPlace();
    SingleInstance instance(InstanceKey(QStringLiteral("pelimator"), place));
    if (!instance.TryBecomePrimary(arguments.files)) {
        const QString display = DisplayName(place);
        if (!instance.Delivered()) {
            const QString text = QStringLiteral(
                                     "このディスプレイ (%1) で起動中の Pelimator が応答しません。\n"
                                     "Pelimator を終了してから開き直して下さい。")
                                     .arg(display);
            Print(stderr, QStringLiteral("pelimator: %1\n").arg(text));
            if (!arguments.files.isEmpty())
                QMessageBox::critical(nullptr, QStringLiteral("Pelimator"), text);
            return 1;
        }
        Print(stderr, arguments.files.isEmpty()
                          ? QStringLiteral("pelimator: このディスプレイ (%1) で起動中の Pelimator "
                                           "を前に出しました。\n")
                                .arg(display)
                          : QStringLiteral("pelimator: 図面をこのディスプレイ (%1) で起動中の "
                                           "Pelimator に渡しました。\n")
                                .arg(display));
        return 0;
    }
    if (!instance.IsUnique()) {
        Print(stderr, QStringLiteral("pelimator: 自分だけが使える一時フォルダを用意できないため、"
                                     "二重起動を防げません。\n"));
    }

    const QString settingsPath = QString::fromStdString(
        settings::SettingsFileForProgram(QCoreApplication::applicationDirPath().toStdString()));
    // The user's configuration folder may not exist yet; the first save would fail without it.
    QDir().mkpath(QFileInfo(settingsPath).absolutePath());

    app::Program program(settingsPath);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &program,
                     &app::Program::Activate);
    QObject::connect(&program, &app::Program::ended, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    program.Start(arguments.files);
    return QApplication::exec();
}
