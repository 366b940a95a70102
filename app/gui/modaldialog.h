#pragma once
// Every modal dialog of the program (the user-name prompt, the new-mind and UDLP dialogs) is run
// through here, so that a test can play the person at the keyboard: a script queued for a
// dialog's objectName runs against the real, shown dialog instead of a modal loop. The script
// types and clicks; whatever result the dialog holds when the script returns is the answer (a
// dialog still open then counts as closed by its close box).

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;

namespace vebix {

class ModalDialog {
public:
    using Script = std::function<void(QDialog&)>;

    // Shows the dialog modally (or runs its queued script) and returns its result code.
    static int exec(QDialog& dialog);

    // ---- for tests ------------------------------------------------------------------------------
    // Queues a script for the next dialog with this objectName; scripts for one name run in the
    // order they were queued.
    static void queueScript(const QString& dialogName, Script script);
    // While set, a dialog without a script is not shown: it is closed at once as by its close
    // box, and its name is kept in unscriptedDialogs. Keeps a test from waiting for a person.
    static void setRefuseUnscripted(bool refuse);
    static QStringList unscriptedDialogs();
    // Drops every queued script and the list of unscripted dialogs.
    static void reset();
};

}  // namespace vebix
