#pragma once
// The main window's title: what is open first, the program's name last, as desktop windows
// name themselves ("Robo — Robo.mdd — Vebix").

#include <QString>

namespace vebix {

struct WindowTitleParts {
    QString botName;   // empty: no mind is loaded
    QString mindPath;  // the mind's file; the title shows its name
    QString partner;   // link mode's other bot; empty when chatting
};

QString windowTitleFor(const WindowTitleParts& parts);

}  // namespace vebix
