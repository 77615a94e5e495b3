// The line tool's choices that live in the board's menus: the preview (表示) and fitting the
// line to the path's end (図面), kept in the settings file's "Board" section.
#pragma once

#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace pelimator {

struct BoardChoiceActions {
    QAction* preview = nullptr;
    QAction* fitEnd = nullptr;
};

// Adds a checkable entry to each menu. Each shows the key as the file holds it whenever its menu
// opens (the file may have changed) and writes the key when toggled; a write that fails is
// reported in a message box over parent and the entry shows the stored state again.
BoardChoiceActions AddBoardChoiceActions(QMenu* viewMenu, QMenu* drawingMenu,
                                         const QString& settingsPath, QWidget* parent);

}  // namespace pelimator
