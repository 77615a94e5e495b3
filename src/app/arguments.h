// The program's command line: drawings to open, or a request for help or the version.
#pragma once

#include <QString>
#include <QStringList>

namespace pelimator::app {

struct Arguments {
    enum class Request { Run, Help, Version, Invalid };
    Request request = Request::Run;
    QStringList files;  // absolute and cleaned, in the order given, each once
    QString error;      // for Invalid: what was wrong, in Japanese
};

// arguments: what the program got after its name, Qt's own options already taken out.
// Relative paths are made absolute against currentDir (the running instance that may receive
// them has another current folder); "file:" URLs become their local paths. "--" ends the
// options, so a drawing may be named "-x.dxf".
[[nodiscard]] Arguments ParseArguments(const QStringList& arguments, const QString& currentDir);

// The text of --help and --version.
[[nodiscard]] QString UsageText(const QString& programName);
[[nodiscard]] QString VersionText();

}  // namespace pelimator::app
