// Keeps every app test away from the user's own settings and documents, whatever a test forgets:
// HOME and XDG_CONFIG_HOME point into a temporary folder for the whole run.
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class IsolatedHome : public ::testing::Environment {
public:
    void SetUp() override {
        home_ = std::make_unique<QTemporaryDir>();
        qputenv("HOME", home_->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_->path() + "/.config").toUtf8());
    }
    void TearDown() override { home_.reset(); }

private:
    std::unique_ptr<QTemporaryDir> home_;
};

[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

}  // namespace
