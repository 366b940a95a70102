#include "app/gui/modaldialog.h"

#include <QDialog>

#include <deque>
#include <utility>
#include <vector>

namespace vebix {
namespace {

struct Queued {
    QString name;
    ModalDialog::Script script;
};

std::deque<Queued> g_scripts;
bool g_refuseUnscripted = false;
QStringList g_unscripted;

}  // namespace

int ModalDialog::exec(QDialog& dialog) {
    for (auto it = g_scripts.begin(); it != g_scripts.end(); ++it) {
        if (it->name != dialog.objectName()) continue;
        Script script = std::move(it->script);
        g_scripts.erase(it);
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        script(dialog);
        if (dialog.isVisible()) dialog.reject();
        return dialog.result();
    }
    if (g_refuseUnscripted) {
        g_unscripted.append(dialog.objectName());
        return QDialog::Rejected;
    }
    return dialog.exec();
}

void ModalDialog::queueScript(const QString& dialogName, Script script) {
    g_scripts.push_back(Queued{dialogName, std::move(script)});
}

void ModalDialog::setRefuseUnscripted(bool refuse) { g_refuseUnscripted = refuse; }

QStringList ModalDialog::unscriptedDialogs() { return g_unscripted; }

void ModalDialog::reset() {
    g_scripts.clear();
    g_unscripted.clear();
}

}  // namespace vebix
