#pragma once
// Where a dialog opens: centred over the window that owns it.

class QWidget;

namespace vebix {

// Places dialog (not yet shown) so that its centre lies on the centre of owner's geometry as
// this program last set it, kept inside the available area of owner's screen. A dialog so
// moved keeps that place when shown.
void centreOver(QWidget& dialog, const QWidget& owner);

}  // namespace vebix
