// The translations of the window's texts: Vebix's own and Qt's (the buttons of message boxes,
// the file dialog), for the languages the person prefers.
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <vector>

class QLocale;

namespace vebix {

class Translations {
public:
    // Installs, for the first of locale's UI languages that has one, Vebix's translation from
    // folder (the file vebix_<language>.qm) and Qt's own from Qt's translations folder. English,
    // the language of the source texts, needs none. The translations stay installed for as long
    // as this object lives.
    Translations(const QLocale& locale, const QString& folder);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // Installs the one translation file path (for tests and a pseudo-translation); false when
    // it cannot be loaded.
    bool installFile(const QString& path);

    // The languages that were installed, as their file names.
    QStringList installed() const;

    // Where an installed copy keeps its translations (share/vebix/translations beside the
    // program's bin folder), or the empty string when there is no such folder.
    static QString installedFolder();

private:
    bool install(std::unique_ptr<QTranslator> translator);

    std::vector<std::unique_ptr<QTranslator>> translators_;
};

}  // namespace vebix
