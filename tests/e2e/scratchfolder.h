#pragma once
// The scratch folder an end-to-end test runs the built program in: a home with its documents
// and settings folders, and a working folder, all removed when the test ends.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vebix::e2e {

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        QDir root(tmp_.path());
        for (const char* folder : {"home/Documents", "home/.config", "work"})
            ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    }

    QString path(const QString& name) const { return QDir(tmp_.path()).filePath(name); }

    QTemporaryDir tmp_;
};

}  // namespace vebix::e2e
