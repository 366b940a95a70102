#include "app/gui/chatdisplay.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

namespace vebix {
namespace {

// Where a run keeps its role, so that a palette change can colour it anew.
constexpr int kRoleProperty = QTextFormat::UserProperty + 1;

}  // namespace

ChatDisplay::ChatDisplay(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    keepSelectionVisible();
}

void ChatDisplay::appendRun(const QString& text, ChatRole role) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colours().of(role));
    format.setProperty(kRoleProperty, static_cast<int>(role));
    cursor.insertText(text, format);
    setTextCursor(cursor);
    ensureCursorVisible();
}

ChatRole ChatDisplay::roleAt(int position) const {
    QTextCursor at(document());
    // A cursor reports the format of the character before it.
    at.setPosition(position + 1);
    const QVariant role = at.charFormat().property(kRoleProperty);
    return role.isValid() ? static_cast<ChatRole>(role.toInt()) : ChatRole::Text;
}

void ChatDisplay::recolour() {
    const ChatColours now = colours();
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QVariant role = fragment.charFormat().property(kRoleProperty);
            if (!fragment.isValid() || !role.isValid()) continue;
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat format;
            format.setForeground(now.of(static_cast<ChatRole>(role.toInt())));
            cursor.mergeCharFormat(format);
        }
    }
    cursor.endEditBlock();
}

void ChatDisplay::keepSelectionVisible() {
    QPalette p = palette();
    bool changed = false;
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        const QColor active = p.color(QPalette::Active, role);
        if (p.color(QPalette::Inactive, role) == active) continue;
        p.setColor(QPalette::Inactive, role, active);
        changed = true;
    }
    // Only on a real difference: setting the palette sends another change event.
    if (changed) setPalette(p);
}

void ChatDisplay::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        keepSelectionVisible();
        recolour();
    }
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
