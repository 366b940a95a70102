#include "app/gui/messagebox.h"

#include <QPushButton>

#include "app/gui/dialogplacement.h"

#include <deque>
#include <utility>

namespace vebix {
namespace {

QMessageBox::StandardButton g_nextAnswer = QMessageBox::NoButton;
QMessageBox::StandardButton g_autoAnswer = QMessageBox::NoButton;
QStringList g_answered;

struct QueuedChoice {
    QString buttonText;
    std::function<void()> whileShown;
};
std::deque<QueuedChoice> g_choices;
QStringList g_unmatched;

// The answer a test set for the next box (or for every box), noting the box as answered.
QMessageBox::StandardButton takeScriptedAnswer(const QString& caption, const QString& text) {
    QMessageBox::StandardButton scripted = g_nextAnswer;
    g_nextAnswer = QMessageBox::NoButton;
    if (scripted == QMessageBox::NoButton) scripted = g_autoAnswer;
    if (scripted != QMessageBox::NoButton) g_answered.append(caption + QStringLiteral(": ") + text);
    return scripted;
}

QString withoutMnemonics(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

}  // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, const QString& caption,
                                             const QString& text, QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) {
    const QMessageBox::StandardButton scripted = takeScriptedAnswer(caption, text);
    if (scripted != QMessageBox::NoButton) return scripted;
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    centreOverParentWhenShown(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::error(QWidget* parent, const QString& caption, const QString& text) {
    show(parent, caption, text, QMessageBox::Critical, QMessageBox::Ok);
}

int MessageBox::choose(QWidget* parent, const QString& caption, const QString& text,
                       QMessageBox::Icon icon, const QStringList& buttonTexts, int defaultIndex,
                       int escapeIndex) {
    if (!g_choices.empty()) {
        QueuedChoice queued = std::move(g_choices.front());
        g_choices.pop_front();
        g_answered.append(caption + QStringLiteral(": ") + text);
        if (queued.whileShown) queued.whileShown();
        const QString wanted = withoutMnemonics(queued.buttonText);
        for (int i = 0; i < buttonTexts.size(); ++i)
            if (withoutMnemonics(buttonTexts[i]) == wanted) return i;
        g_unmatched.append(queued.buttonText);
        return escapeIndex;
    }
    // A test that answers every box by a standard button answers this one as by Escape.
    if (takeScriptedAnswer(caption, text) != QMessageBox::NoButton) return escapeIndex;
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    QList<QPushButton*> buttons;
    for (const QString& label : buttonTexts)
        buttons.append(box.addButton(label, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex]);
    if (escapeIndex >= 0 && escapeIndex < buttons.size()) box.setEscapeButton(buttons[escapeIndex]);
    centreOverParentWhenShown(box);
    box.exec();
    const int chosen = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return chosen < 0 ? escapeIndex : chosen;
}

void MessageBox::queueChoice(const QString& buttonText, std::function<void()> whileShown) {
    g_choices.push_back(QueuedChoice{buttonText, std::move(whileShown)});
}

int MessageBox::pendingChoices() { return static_cast<int>(g_choices.size()); }

QStringList MessageBox::unmatchedChoices() { return g_unmatched; }

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer) { g_nextAnswer = answer; }

void MessageBox::setAutoAnswer(QMessageBox::StandardButton answer) { g_autoAnswer = answer; }

QStringList MessageBox::answeredBoxes() { return g_answered; }

void MessageBox::clearAnsweredBoxes() {
    g_answered.clear();
    g_choices.clear();
    g_unmatched.clear();
}

}  // namespace vebix
