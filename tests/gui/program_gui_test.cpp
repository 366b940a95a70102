#include "app/gui/program.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/mind/program.h"
#include "app/platform/settings.h"
#include "app/platform/systempaths.h"
#include "app/gui/vebixform.h"
#include "app/gui/messagebox.h"

namespace vebix {
namespace {

class WindowModeStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir(tmp_.path()).mkpath("Documents");
        Settings::redirectUserSettings(QDir(tmp_.path()).filePath("settings.conf"));
        systempaths::overrideDocumentsFolder(QDir(tmp_.path()).filePath("Documents"));
        previous_ = QDir::currentPath();
        QDir::setCurrent(tmp_.path());
        MessageBox::clearAnsweredBoxes();
    }
    void TearDown() override {
        QDir::setCurrent(previous_);
        Settings::redirectUserSettings({});
        systempaths::overrideDocumentsFolder(std::nullopt);
        MessageBox::setNextAnswer(QMessageBox::NoButton);
    }
    QTemporaryDir tmp_;
    QString previous_;
};

TEST_F(WindowModeStart, MissingNamedMindIsShownInABoxAndTheWindowOpensWithoutOne) {
    MessageBox::setNextAnswer(QMessageBox::Ok);
    const StartupChoice start = prepareWindowMode("nope.mdd");
    const QString full = QDir(tmp_.path()).filePath("nope.mdd");
    EXPECT_EQ(MessageBox::answeredBoxes(),
              QStringList{QStringLiteral("Vebix: Mind file not found:\r\n") + full});
    EXPECT_EQ(start.mindPath, "");
}

TEST_F(WindowModeStart, DefaultMindAndDelaySetting) {
    {
        Settings s;
        s.setString(Settings::Key::LastMindFile, "/no/such/file.mdd");
        s.writeString("", "Delay", "not a number");
    }
    const StartupChoice first = prepareWindowMode(nullptr);
    EXPECT_TRUE(MessageBox::answeredBoxes().isEmpty());
    EXPECT_EQ(first.mindPath,
              QDir(tmp_.path()).filePath("Documents/Vebix.mdd").toStdString());
    EXPECT_TRUE(first.delayResponses);
    {
        Settings s;
        s.setDword(Settings::Key::Delay, 0);
    }
    EXPECT_FALSE(prepareWindowMode(nullptr).delayResponses);
}

TEST(MessageBoxSeam, NextAnswerAnswersOneBoxOnly) {
    MessageBox::clearAnsweredBoxes();
    MessageBox::setNextAnswer(QMessageBox::No);
    EXPECT_EQ(MessageBox::show(nullptr, "Cap", "Text", QMessageBox::Question,
                               QMessageBox::Yes | QMessageBox::No),
              QMessageBox::No);
    EXPECT_EQ(MessageBox::answeredBoxes(), QStringList{"Cap: Text"});
    MessageBox::setAutoAnswer(QMessageBox::Yes);
    EXPECT_EQ(MessageBox::show(nullptr, "A", "1", QMessageBox::Question,
                               QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    MessageBox::setAutoAnswer(QMessageBox::NoButton);
    EXPECT_EQ(MessageBox::answeredBoxes().size(), 2);
}

TEST(MainWindow, HasTheProgramTitle) {
    VebixForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Vebix 1.2.02"));
}

}  // namespace
}  // namespace vebix
