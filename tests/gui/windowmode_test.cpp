#include "app/gui/windowmode.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>

#include "app/mind/startup.h"
#include "app/platform/settings.h"
#include "app/platform/systempaths.h"
#include "app/gui/vebixform.h"
#include "app/platform/qtext.h"
#include "app/platform/version.h"
#include "scriptedprompts.h"
#include "support/userfolders.h"

namespace vebix {
namespace {

class WindowModeStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir(tmp_.path()).mkpath("Documents");
        folders_ = std::make_unique<testing::ScopedUserFolders>(tmp_.path());
        previous_ = QDir::currentPath();
        QDir::setCurrent(tmp_.path());
        prompts_.clearAnsweredBoxes();
    }
    void TearDown() override {
        QDir::setCurrent(previous_);
        folders_.reset();
        prompts_.setNextAnswer(QMessageBox::NoButton);
    }
    QTemporaryDir tmp_;
    std::unique_ptr<testing::ScopedUserFolders> folders_;
    QString previous_;
    testing::ScriptedPrompts prompts_;
};

TEST_F(WindowModeStart, MissingNamedMindIsShownInABoxAndTheWindowOpensWithoutOne) {
    prompts_.setNextAnswer(QMessageBox::Ok);
    const StartupChoice start = prepareWindowMode("nope.mdd", prompts_);
    const QString full = QDir(tmp_.path()).filePath("nope.mdd");
    EXPECT_EQ(prompts_.answeredBoxes(),
              QStringList{QStringLiteral("Vebix: Mind file not found:\r\n") + full});
    EXPECT_EQ(start.mindPath, "");
}

TEST_F(WindowModeStart, DefaultMindAndDelaySetting) {
    {
        Settings s;
        s.setString(Settings::Key::LastMindFile, "/no/such/file.mdd");
        s.writeString("", "Delay", "not a number");
    }
    const StartupChoice first = prepareWindowMode(nullptr, prompts_);
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
    EXPECT_EQ(first.mindPath, QDir(tmp_.path()).filePath("Documents/Vebix.mdd").toStdString());
    EXPECT_TRUE(first.delayResponses);
    {
        Settings s;
        s.setDword(Settings::Key::Delay, 0);
    }
    EXPECT_FALSE(prepareWindowMode(nullptr, prompts_).delayResponses);
}

TEST(ScriptedPromptsTest, NextAnswerAnswersOneBoxOnly) {
    testing::ScriptedPrompts prompts;
    prompts.setNextAnswer(QMessageBox::No);
    EXPECT_EQ(prompts.message(nullptr, "Cap", "Text", QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No),
              QMessageBox::No);
    EXPECT_EQ(prompts.answeredBoxes(), QStringList{"Cap: Text"});
    prompts.setAutoAnswer(QMessageBox::Yes);
    EXPECT_EQ(prompts.message(nullptr, "A", "1", QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No),
              QMessageBox::Yes);
    prompts.setAutoAnswer(QMessageBox::NoButton);
    EXPECT_EQ(prompts.answeredBoxes().size(), 2);
    // With no answer left, the box is refused rather than left waiting for a person.
    EXPECT_EQ(prompts.message(nullptr, "B", "2", QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No),
              QMessageBox::NoButton);
    EXPECT_EQ(prompts.unscripted(), QStringList{"B"});
    EXPECT_EQ(prompts.answeredBoxes().size(), 2);
}

TEST(MainWindow, HasTheProgramTitle) {
    testing::ScriptedPrompts prompts;
    VebixForm form{prompts};
    EXPECT_EQ(form.windowTitle(), "Vebix " + fromUtf8(release::kVersion));
}

}  // namespace
}  // namespace vebix
