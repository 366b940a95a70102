#include "app/gui/translations.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <utility>

namespace vebix {
namespace {

// The first message of the build's template of texts to translate: its context and source.
std::pair<QByteArray, QByteArray> firstMessage() {
    QFile file(QStringLiteral(VEBIX_TS_TEMPLATE));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QByteArray context;
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.name() == QLatin1String("name") && context.isEmpty())
            context = xml.readElementText().toUtf8();
        else if (xml.name() == QLatin1String("source"))
            return {context, xml.readElementText().toUtf8()};
        else if (xml.isStartElement() && xml.name() != QLatin1String("TS") &&
                 xml.name() != QLatin1String("context") && xml.name() != QLatin1String("message"))
            xml.skipCurrentElement();
    }
    ADD_FAILURE() << "no message in " << VEBIX_TS_TEMPLATE;
    return {};
}

// A folder of translations holding the build's pseudo-translation under the name of a real
// language, so that the choice by locale can be seen.
class TranslationFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEBIX_PSEUDO_QM), dir_.filePath("vebix_de.qm")));
    }
    QTemporaryDir dir_;
};

TEST_F(TranslationFolder, TheLocalesFirstLanguageWithATranslationIsInstalled) {
    struct Case {
        const char* locale;
        bool translated;
    } cases[] = {{"de_DE", true}, {"de_AT", true}, {"en_US", false}, {"fr_FR", false}};
    const auto [context, text] = firstMessage();
    const QString source = QString::fromUtf8(text);
    for (const Case& c : cases) {
        {
            const Translations translations(QLocale(QString::fromLatin1(c.locale)), dir_.path());
            EXPECT_EQ(translations.installed().contains(QStringLiteral("vebix_de.qm")),
                      c.translated)
                << c.locale;
            const QString shown =
                QCoreApplication::translate(context.constData(), text.constData());
            EXPECT_EQ(shown != source, c.translated) << c.locale << ": " << shown.toStdString();
        }
        // Gone with the object that installed it.
        EXPECT_EQ(QCoreApplication::translate(context.constData(), text.constData()), source)
            << c.locale;
    }
}

TEST(Translations, AFileThatIsNotATranslationIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile bad(dir.filePath(QStringLiteral("vebix_de.qm")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a translation");
    bad.close();
    Translations translations(QLocale(QStringLiteral("de_DE")), dir.path());
    EXPECT_TRUE(translations.installed().isEmpty());
    EXPECT_FALSE(translations.installFile(bad.fileName()));
    EXPECT_TRUE(translations.installFile(QStringLiteral(VEBIX_PSEUDO_QM)));
}

}  // namespace
}  // namespace vebix
