#include "textfit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace vebix::testing {
namespace {

QString sizeText(QSize size) {
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QString named(const QWidget& widget) {
    const QString name = widget.objectName();
    return name.isEmpty() ? QString::fromLatin1(widget.metaObject()->className()) : name;
}

QString wantsLine(const QWidget& widget, const QString& text, QSize wants) {
    return QStringLiteral("%1: %2 wants %3, has %4")
        .arg(named(widget), text, sizeText(wants), sizeText(widget.size()));
}

bool exceeds(QSize wants, QSize has) {
    return wants.width() > has.width() || wants.height() > has.height();
}

// What w needs to show its text whole, or an invalid size when it has no text to check.
QSize textNeeds(const QWidget& w, QString* text) {
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        if (label->text().isEmpty()) return {};
        *text = label->text();
        if (!label->wordWrap()) return label->minimumSizeHint();
        // The minimum size hint of a wrapped label is as wide as its longest word.
        return QSize(label->minimumSizeHint().width(), label->heightForWidth(label->width()));
    }
    if (qobject_cast<const QPushButton*>(&w) || qobject_cast<const QCheckBox*>(&w) ||
        qobject_cast<const QRadioButton*>(&w)) {
        *text = static_cast<const QAbstractButton&>(w).text();
        return w.sizeHint();
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(&w)) {
        // Typed text scrolls sideways, so only the height counts, and the placeholder's width.
        *text = edit->placeholderText();
        QSize needs(0, edit->minimumSizeHint().height());
        if (!text->isEmpty()) {
            const QMargins m = edit->textMargins() + edit->contentsMargins();
            needs.setWidth(edit->fontMetrics().horizontalAdvance(*text) + m.left() + m.right());
        }
        return needs;
    }
    return {};
}

}  // namespace

QStringList clippedTexts(QWidget& root) {
    QList<QWidget*> widgets{&root};
    widgets += root.findChildren<QWidget*>();
    QStringList clipped;
    for (QWidget* w : widgets) {
        if (!w->isVisible()) continue;
        QString text;
        const QSize needs = textNeeds(*w, &text);
        if (needs.isValid() && exceeds(needs, w->size())) clipped << wantsLine(*w, text, needs);

        const QWidget* window = w->window();
        if (w == window) continue;
        const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!window->rect().contains(inWindow)) {
            clipped << QStringLiteral("%1: lies outside its window at (%2,%3 %4), window %5")
                           .arg(named(*w))
                           .arg(inWindow.x())
                           .arg(inWindow.y())
                           .arg(sizeText(inWindow.size()), sizeText(window->size()));
        }
    }
    return clipped;
}

}  // namespace vebix::testing
