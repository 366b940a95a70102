// The GUI tests run on Qt's offscreen platform inside one application object, the program's
// own, so that its last net for errors is in force.
#include <gtest/gtest.h>

#include "app/gui/application.h"
#include "scriptedprompts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // An error no test answers is closed at once instead of waiting for a person; tests that
    // expect errors answer them with prompts of their own.
    vebix::testing::ScriptedPrompts unanswered;
    vebix::Application app(argc, argv, unanswered);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
