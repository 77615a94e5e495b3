// The program's command line.
#include "app/arguments.h"

#include <QDir>
#include <QUrl>

namespace pelimator::app {

Arguments ParseArguments(const QStringList& arguments, const QString& currentDir) {
    Arguments parsed;
    bool options = true;
    for (const QString& argument : arguments) {
        if (options && argument == QStringLiteral("--")) {
            options = false;
            continue;
        }
        if (options && (argument == QStringLiteral("-h") || argument == QStringLiteral("--help"))) {
            return {Arguments::Request::Help, {}, {}};
        }
        if (options &&
            (argument == QStringLiteral("-v") || argument == QStringLiteral("--version"))) {
            return {Arguments::Request::Version, {}, {}};
        }
        if (options && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return {Arguments::Request::Invalid,
                    {},
                    QStringLiteral("不明なオプションです: %1").arg(argument)};
        }
        if (argument.isEmpty()) continue;
        QString path = argument;
        if (argument.startsWith(QStringLiteral("file:"))) {
            const QUrl url(argument);
            if (!url.isLocalFile() ||
                !(url.host().isEmpty() || url.host() == QStringLiteral("localhost"))) {
                return {Arguments::Request::Invalid,
                        {},
                        QStringLiteral("ローカルのファイルではありません: %1").arg(argument)};
            }
            path = url.toLocalFile();
        }
        path = QDir::cleanPath(QDir(currentDir).absoluteFilePath(path));
        if (!parsed.files.contains(path)) parsed.files.append(path);
    }
    return parsed;
}

QString UsageText(const QString& programName) {
    return QStringLiteral(
               "使い方: %1 [図面.dxf ...]\n"
               "\n"
               "図面に波線とジグザグ線を描き加えるツールと、その図面を表示するウィンドウを開きます。\n"
               "指定した DXF 図面はそのウィンドウに開きます。Pelimator がすでに動いているときは、その\n"
               "Pelimator が図面を開いて前面に出ます。\n"
               "\n"
               "  -h, --help     この説明を表示します\n"
               "  -v, --version  版を表示します\n"
               "  --             以降の引数はすべて図面のファイル名です\n")
        .arg(programName);
}

QString VersionText() {
    return QStringLiteral("Pelimator %1\n").arg(QStringLiteral(PELIMATOR_VERSION));
}

}  // namespace pelimator::app
