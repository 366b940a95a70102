#pragma once
// The conversation display: read-only rich text on a light grey ground, the vertical scroll
// bar always shown, the selection still visible when the focus is elsewhere, and a context
// menu that offers only Copy and Select All.

#include <QTextEdit>

class QMenu;

namespace vebix {

class ChatDisplay : public QTextEdit {
    Q_OBJECT
public:
    explicit ChatDisplay(QWidget* parent = nullptr);

    // The context menu as it is offered; the caller owns it.
    QMenu* trimmedContextMenu();

    // Scrolls to the last line.
    void scrollToEnd();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace vebix
