#pragma once
// Where a dialog opens: centred over the window that owns it.

class QWidget;

namespace vebix {

// Places dialog (not yet shown) so that its centre lies on the centre of owner's geometry as
// this program last set it, kept inside the available area of owner's screen. A dialog so
// moved keeps that place when shown.
void centreOver(QWidget& dialog, const QWidget& owner);

// Makes dialog, whenever it is shown, open centred over the window of its parent (as
// centreOver does). For dialogs that size themselves only while being shown, such as message
// boxes. Does nothing for a dialog without a parent.
void centreOverParentWhenShown(QWidget& dialog);

}  // namespace vebix
