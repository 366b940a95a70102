#include "app/gui/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>

#include "app/platform/filewrite.h"
#include "app/platform/version.h"

namespace vebix {

Translations::Translations(const QLocale& locale, const QString& folder) {
    // QTranslator::load(locale, ...) walks the locale's UI languages in the person's order and
    // falls back from "de_AT" to "de" by itself. An English locale finds no file and keeps the
    // source texts, which are English.
    auto own = std::make_unique<QTranslator>();
    if (!folder.isEmpty() &&
        own->load(locale, QStringLiteral("vebix"), QStringLiteral("_"), folder))
        install(std::move(own));
    // Qt's texts only where Vebix is translated too, so that a dialog never mixes two languages.
    if (!translators_.empty()) {
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            install(std::move(qt));
    }
}

Translations::~Translations() {
    for (const auto& translator : translators_)
        QCoreApplication::removeTranslator(translator.get());
}

bool Translations::installFile(const QString& path) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(path)) return false;
    return install(std::move(translator));
}

bool Translations::install(std::unique_ptr<QTranslator> translator) {
    if (!QCoreApplication::installTranslator(translator.get())) return false;
    translators_.push_back(std::move(translator));
    return true;
}

QStringList Translations::installed() const {
    QStringList names;
    for (const auto& translator : translators_)
        names << QFileInfo(translator->filePath()).fileName();
    return names;
}

QString Translations::installedFolder() {
    // Relative to the program, so that a copy installed under any prefix, or unpacked into a
    // scratch root, finds its own translations; a copy run from the build tree has none there.
    const QString folder = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(toQPath(release::kTranslationsFromProgram));
    return QFileInfo(folder).isDir() ? QDir::cleanPath(folder) : QString();
}

}  // namespace vebix
