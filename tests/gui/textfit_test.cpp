// The finder of clipped texts, on a window made to clip.
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <gtest/gtest.h>

#include "textfit.h"

namespace vebix {
namespace {

using testing::clippedTexts;

// Each deliberately cut control is
// reported, each whole one is not.
TEST(TextFit, ReportsWhatIsCutAndOnlyThat) {
    QWidget window;
    window.resize(300, 200);
    const auto add = [&window](QWidget* w, const char* name, QRect at) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(at);
    };
    const QString longText = QStringLiteral("A text far too long for the room it is given here");
    add(new QLabel(longText, &window), "cutLabel", {0, 0, 40, 30});
    add(new QLabel(QStringLiteral("Ok"), &window), "wholeLabel", {0, 30, 200, 30});
    auto* wrapped = new QLabel(longText + QStringLiteral(" and more words to wrap"), &window);
    wrapped->setWordWrap(true);
    add(wrapped, "lowWrappedLabel", {0, 60, 120, 20});
    add(new QPushButton(longText, &window), "cutButton", {0, 90, 60, 30});
    auto* wholeButton = new QPushButton(QStringLiteral("Go"), &window);
    add(wholeButton, "wholeButton", QRect({0, 120}, wholeButton->sizeHint()));
    add(new QCheckBox(longText, &window), "cutCheck", {100, 120, 50, 30});
    add(new QRadioButton(QStringLiteral("Radio"), &window), "lowRadio", {100, 150, 200, 3});
    auto* outside = new QPushButton(QStringLiteral("Out"), &window);
    add(outside, "outsideButton", QRect({280, 180}, outside->sizeHint()));
    window.show();
    QCoreApplication::processEvents();

    const QStringList clipped = clippedTexts(window);
    const QString all = clipped.join(QLatin1Char('\n'));
    for (const char* name :
         {"cutLabel", "lowWrappedLabel", "cutButton", "cutCheck", "lowRadio", "outsideButton"}) {
        EXPECT_TRUE(all.contains(QString::fromLatin1(name) + QLatin1Char(':')))
            << name << "\n"
            << all.toStdString();
    }
    for (const char* name : {"wholeLabel", "wholeButton"})
        EXPECT_FALSE(all.contains(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(all.contains(QStringLiteral("cutLabel: ") + longText + QStringLiteral(" wants ")))
        << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("outsideButton: lies outside its window")))
        << all.toStdString();
    EXPECT_EQ(clipped.size(), 6) << all.toStdString();
}

}  // namespace
}  // namespace vebix
