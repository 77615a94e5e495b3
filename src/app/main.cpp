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
#include <optional>

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

// Help, version or a bad argument: the exit code after the answer; none for a run.
std::optional<int> AnswerWithoutRunning(const pelimator::app::Arguments& arguments) {
    using pelimator::app::Arguments;
    switch (arguments.request) {
        case Arguments::Request::Help:
            Print(stdout, pelimator::app::UsageText(QStringLiteral("pelimator")));
            return 0;
        case Arguments::Request::Version:
            Print(stdout, pelimator::app::VersionText());
            return 0;
        case Arguments::Request::Invalid:
            Print(
                stderr,
                QStringLiteral("pelimator: %1\n詳しくは pelimator --help\n").arg(arguments.error));
            return 2;
        case Arguments::Request::Run:
            break;
    }
    return std::nullopt;
}

// The program's names and icon, and Qt's own dialogs in Japanese as the interface is (through
// qtTexts, which must live as long as the application).
void SetUpApplication(QTranslator& qtTexts) {
    QApplication::setApplicationName(QStringLiteral("Pelimator"));
    QApplication::setOrganizationName(QStringLiteral("Pelimator"));
    QApplication::setApplicationVersion(QStringLiteral(PELIMATOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("pelimator"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pelimator.svg")));
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }
}

// A later start on the same display hands its drawings to the running one, which opens them
// and comes forward; a start on another display, login or remote session runs its own. The exit
// code when another instance took over or did not answer; none when this one runs.
std::optional<int> HandToRunningInstance(pelimator::SingleInstance& instance,
                                         const pelimator::app::Arguments& arguments,
                                         const pelimator::DisplayPlace& place) {
    if (instance.TryBecomePrimary(arguments.files)) {
        if (!instance.IsUnique()) {
            Print(stderr,
                  QStringLiteral("pelimator: 自分だけが使える一時フォルダを用意できないため、"
                                 "二重起動を防げません。\n"));
        }
        return std::nullopt;
    }
    const QString display = pelimator::DisplayName(place);
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

}  // namespace

int main(int argc, char** argv) {
    using namespace pelimator;
    // Help and version without a display: answered before the application connects to one.
    const app::Arguments early = app::ParseArguments(RawArguments(argc, argv), QDir::currentPath());
    if (early.request == app::Arguments::Request::Help ||
        early.request == app::Arguments::Request::Version) {
        return *AnswerWithoutRunning(early);
    }

    QApplication application(argc, argv);  // takes Qt's own options out of the arguments
    QTranslator qtTexts;
    SetUpApplication(qtTexts);
    const app::Arguments arguments =
        app::ParseArguments(QApplication::arguments().mid(1), QDir::currentPath());
    if (const std::optional<int> code = AnswerWithoutRunning(arguments)) return *code;

    const DisplayPlace place = CurrentDisplayPlace();
    SingleInstance instance(InstanceKey(QStringLiteral("pelimator"), place));
    if (const std::optional<int> code = HandToRunningInstance(instance, arguments, place)) {
        return *code;
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
