#pragma once
// What a file dialog of the program is asked to offer; Prompts shows it.

#include <QString>

namespace vebix {

class FileDialog {
public:
    // filter uses Qt's form: "Text Files (*.txt)", entries separated by ";;".
    struct Request {
        QString caption;
        QString initialFile;
        QString filter;
        QString defaultSuffix;         // added to a typed name that has none, as "mdd"
        bool confirmOverwrite = true;  // save dialogs: ask before an existing file is chosen
    };

    // The request for a mind file: the mind filter ("All Files" too) and the ".mdd" suffix.
    static Request forMind(const QString& caption, const QString& initialFile);
};

}  // namespace vebix
