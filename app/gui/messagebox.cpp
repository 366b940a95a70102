#include "gui/messagebox.h"

namespace vebix {
namespace {

QMessageBox::StandardButton g_nextAnswer = QMessageBox::NoButton;
QMessageBox::StandardButton g_autoAnswer = QMessageBox::NoButton;
QStringList g_answered;

}  // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& caption,
                                             const QString& text, QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) {
    QMessageBox::StandardButton scripted = g_nextAnswer;
    g_nextAnswer = QMessageBox::NoButton;
    if (scripted == QMessageBox::NoButton) scripted = g_autoAnswer;
    if (scripted != QMessageBox::NoButton) {
        g_answered.append(caption + QStringLiteral(": ") + text);
        return scripted;
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::error(QWidget* parent, const QString& caption, const QString& text) {
    show(parent, caption, text, QMessageBox::Critical, QMessageBox::Ok);
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) { g_nextAnswer = answer; }

void MessageBox::setAutoAnswer(QMessageBox::StandardButton answer) { g_autoAnswer = answer; }

QStringList MessageBox::answeredBoxes() { return g_answered; }

void MessageBox::clearAnsweredBoxes() { g_answered.clear(); }

}  // namespace vebix
