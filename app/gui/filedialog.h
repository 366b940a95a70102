#pragma once
// Every file dialog of the program goes through here, so that tests can answer it instead of a
// person: setNextFileName makes the next dialog return that answer without being shown (an
// empty name answers as Cancel), and what each answered dialog offered is kept for the test.

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace vebix {

class FileDialog {
public:
    // What a dialog is asked to offer. filter uses Qt's form: "Text Files (*.txt)", entries
    // separated by ";;".
    struct Request {
        QString caption;
        QString initialFile;
        QString filter;
        QString defaultSuffix;  // added to a typed name that has none, as "mdd"
        bool confirmOverwrite = true;  // save dialogs: ask before an existing file is chosen
    };

    // The request for a mind file: the mind filter ("All Files" too) and the ".mdd" suffix.
    static Request forMind(const QString& caption, const QString& initialFile);

    // Asks for an existing file to open; empty when cancelled.
    static QString openFile(QWidget* parent, const Request& request);
    // Asks for a file to save to; empty when cancelled.
    static QString saveFile(QWidget* parent, const Request& request);

    // ---- for tests ------------------------------------------------------------------------------
    // The next dialog is not shown and returns name (empty: as if cancelled).
    static void setNextFileName(const QString& name);
    // Drops an answer set by setNextFileName that no dialog took.
    static void clearNextFileName();
    // The request of the last dialog answered by setNextFileName.
    static std::optional<Request> lastAnsweredRequest();
};

}  // namespace vebix
