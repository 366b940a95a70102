#pragma once
// The conversation display: read-only text in the desktop's font and palette, each run coloured
// by what it is (ChatRole) and coloured anew when the palette changes (a switch between light
// and dark themes). The vertical scroll bar is always shown, the selection stays visible when
// the focus is elsewhere, and the context menu offers only Copy and Select All.

#include <QTextEdit>

#include "app/gui/chatcolours.h"

class QMenu;

namespace vebix {

class ChatDisplay : public QTextEdit {
    Q_OBJECT
public:
    explicit ChatDisplay(QWidget* parent = nullptr);

    // Appends text at the end in the colour of role for the current palette, and shows it.
    void appendRun(const QString& text, ChatRole role);
    // The role of the character at position in the document; Text where none was given.
    ChatRole roleAt(int position) const;
    // The colours the display uses now.
    ChatColours colours() const { return chatColours(palette()); }

    // The context menu as it is offered; the caller owns it.
    QMenu* trimmedContextMenu();

    // Scrolls to the last line.
    void scrollToEnd();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Gives every run the colour of its role in the current palette.
    void recolour();
    // The inactive selection colours follow the active ones.
    void keepSelectionVisible();
};

}  // namespace vebix
