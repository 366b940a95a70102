#pragma once
// The order in which Tab visits a window's own controls.

#include <QStringList>
#include <QWidget>

namespace vebix::testing {

// The object names of the controls under root that Tab reaches, in the order it reaches them
// from root: enabled, not hidden, taking focus by Tab, named by the program (Qt's own inner
// widgets, unnamed or named "qt_...", are left out).
inline QStringList tabOrder(QWidget& root) {
    QStringList order;
    for (QWidget* w = root.nextInFocusChain(); w && w != &root; w = w->nextInFocusChain()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&root))
            order << name;
    }
    return order;
}

}  // namespace vebix::testing
