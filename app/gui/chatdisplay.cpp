#include "app/gui/chatdisplay.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>

namespace vebix {

ChatDisplay::ChatDisplay(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    QPalette p = palette();
    p.setColor(QPalette::Base, QColor(244, 244, 244));
    p.setColor(QPalette::Text, Qt::black);
    // The selection keeps its colour when the focus moves to the input line.
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

QMenu* ChatDisplay::trimmedContextMenu() {
    QMenu* menu = createStandardContextMenu();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name != QLatin1String("edit-copy") && name != QLatin1String("select-all")) {
            menu->removeAction(action);
            if (action->parent() == menu) delete action;
        }
    }
    return menu;
}

void ChatDisplay::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = trimmedContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ChatDisplay::scrollToEnd() {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace vebix
