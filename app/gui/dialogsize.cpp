#include "app/gui/dialogsize.h"

#include <QEvent>
#include <QLayout>
#include <QObject>
#include <QWidget>

#include <algorithm>

namespace vebix {
namespace {

// A window's layout gives it a minimum size, but not one that depends on the width: a
// word-wrapped label counts as a single line. So the minimum height is set here from the
// layout's height for the dialog's width, whenever the width or the layout's contents change.
void keepWrappedTextsWhole(QWidget& dialog) {
    QLayout* layout = dialog.layout();
    if (!layout || !layout->hasHeightForWidth()) return;
    const int needed = std::max(layout->totalMinimumSize().height(),
                                layout->totalMinimumHeightForWidth(dialog.width()));
    if (needed != dialog.minimumHeight()) dialog.setMinimumHeight(needed);
}

class WrappedTextsWhole : public QObject {
public:
    explicit WrappedTextsWhole(QWidget& dialog) : QObject(&dialog) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) && !busy_) {
            // Setting the minimum may resize the dialog, which comes back here.
            busy_ = true;
            keepWrappedTextsWhole(*static_cast<QWidget*>(watched));
            busy_ = false;
        }
        return false;
    }

private:
    bool busy_ = false;
};

}  // namespace

void sizeDialog(QWidget& dialog, QSize defaultSize) {
    QLayout* layout = dialog.layout();
    if (!layout) {
        dialog.resize(defaultSize);
        return;
    }
    // The style may still change fonts and margins when it polishes the dialog.
    dialog.ensurePolished();
    layout->activate();
    QSize size = defaultSize.expandedTo(layout->totalMinimumSize());
    if (layout->hasHeightForWidth())
        size.setHeight(std::max(size.height(), layout->totalMinimumHeightForWidth(size.width())));
    dialog.resize(size);
    keepWrappedTextsWhole(dialog);
    dialog.installEventFilter(new WrappedTextsWhole(dialog));
}

}  // namespace vebix
