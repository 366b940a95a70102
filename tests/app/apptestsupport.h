#pragma once
// Shared pieces of the app tests: a temporary folder per test, file helpers, and an
// environment that points the settings, the documents folder and the executable's folder at
// temporary places so that no test touches the user's own.

#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/platform/filewrite.h"
#include "app/mind/startup.h"
#include "app/platform/settings.h"
#include "app/platform/systempaths.h"
#include "support/userfolders.h"

namespace vebix::testing {

inline std::string readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

inline void writeBytes(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
}

// While alive, writing a file beyond limit bytes fails as on a full disk (EFBIG, "File too
// large", instead of ENOSPC; the signal the kernel sends with it is ignored). The limit is the
// whole process's: keep the object's life short.
class DiskNearlyFull {
public:
    explicit DiskNearlyFull(std::uint64_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~DiskNearlyFull() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldHandler_);
    }
    DiskNearlyFull(const DiskNearlyFull&) = delete;
    DiskNearlyFull& operator=(const DiskNearlyFull&) = delete;

private:
    rlimit old_{};
    sighandler_t oldHandler_;
};

// A test with its own temporary folder as the user's home: the settings store in
// ".config/Vebix.conf" (settingsFile()), the documents folder "Documents", and "bin/vebix" as
// the program's own path (programPath()), which tests hand in where the program hands its own.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir(tmp_.path()).mkpath("Documents");
        QDir(tmp_.path()).mkpath("bin");
        folders_ = std::make_unique<testing::ScopedUserFolders>(tmp_.path());
    }
    void TearDown() override { folders_.reset(); }
    QString path(const QString& name) const { return QDir(tmp_.path()).filePath(name); }
    std::string spath(const QString& name) const { return fromQPath(path(name)); }
    QString settingsFile() const { return folders_->settingsFile(); }
    std::string programPath() const { return spath("bin/vebix"); }
    std::string documentsFolder() const { return spath("Documents"); }

    QTemporaryDir tmp_;
    std::unique_ptr<testing::ScopedUserFolders> folders_;
};

// Runs the test body in the temporary folder as the working folder, restoring the old one.
class WorkingFolderTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        previous_ = QDir::currentPath();
        QDir(tmp_.path()).mkpath("work");
        ASSERT_TRUE(QDir::setCurrent(path("work")));
    }
    void TearDown() override {
        QDir::setCurrent(previous_);
        AppTest::TearDown();
    }
    QString previous_;
};

}  // namespace vebix::testing
