#pragma once
// How big a dialog laid out with Qt layouts opens, and how small it may be made.

#include <QSize>

class QWidget;

namespace vebix {

// Resizes dialog, whose layout is set and whose texts are in place, to defaultSize, or larger
// where its layout needs more room in the current font: the width its layout needs at least,
// and at that width the height its word-wrapped texts need. From then on the dialog cannot be
// made narrower than its layout allows nor lower than its word-wrapped texts need at the width
// it has, and it grows when a text set later needs more room.
void sizeDialog(QWidget& dialog, QSize defaultSize);

}  // namespace vebix
