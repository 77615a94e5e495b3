// Checkable board menu entries bound to the settings file's "Board" keys.
#include "tool/board_choices_menu.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <functional>

#include "settings/ini_edit.h"
#include "settings/settings_file.h"

namespace pelimator {

namespace {

using Reader = std::function<bool(const settings::BoardChoices&)>;
using Writer = std::function<bool(settings::clsIniEdit&, bool)>;

QAction* AddChoice(QMenu* menu, const QString& text, const QString& settingsPath, QWidget* parent,
                   const Reader& read, const Writer& write) {
    menu->addSeparator();
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    const std::string path = settingsPath.toStdString();
    const auto refresh = [action, path, read] {
        settings::clsIniEdit ini;
        ini.IniFilePath(path);
        action->setChecked(read(settings::ReadBoardChoices(ini)));
    };
    refresh();
    QObject::connect(menu, &QMenu::aboutToShow, action, refresh);
    QObject::connect(action, &QAction::triggered, action, [path, parent, write, refresh](bool on) {
        settings::clsIniEdit ini;
        ini.IniFilePath(path);
        if (write(ini, on)) return;
        refresh();
        QMessageBox::warning(parent, QStringLiteral("Pelimator"),
                             QString::fromStdString(settings::SettingsWriteFailure(path) + "。"));
    });
    return action;
}

}  // namespace

BoardChoiceActions AddBoardChoiceActions(QMenu* viewMenu, QMenu* drawingMenu,
                                         const QString& settingsPath, QWidget* parent) {
    BoardChoiceActions actions;
    actions.preview = AddChoice(
        viewMenu, QStringLiteral("線のプレビュー(&P)"), settingsPath, parent,
        [](const settings::BoardChoices& c) { return c.Preview; }, settings::WritePreview);
    actions.preview->setObjectName(QStringLiteral("linePreviewAction"));
    actions.fitEnd = AddChoice(
        drawingMenu, QStringLiteral("線を経路の終点で終える(&E)"), settingsPath, parent,
        [](const settings::BoardChoices& c) { return c.FitEnd; }, settings::WriteFitEnd);
    actions.fitEnd->setObjectName(QStringLiteral("lineFitEndAction"));
    return actions;
}

}  // namespace pelimator
