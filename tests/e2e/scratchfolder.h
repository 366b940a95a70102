#pragma once
// The scratch folder an end-to-end test runs the built program in: a home with its documents
// and settings folders, and a working folder, all removed when the test ends.
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

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

    // The bytes of the file at p, or "<missing>" when it cannot be read.
    static std::string read(const QString& p) {
        QFile f(p);
        if (!f.open(QIODevice::ReadOnly)) return "<missing>";
        return f.readAll().toStdString();
    }
    // Replaces the file at p with bytes.
    static void write(const QString& p, const std::string& bytes) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    QTemporaryDir tmp_;
};

}  // namespace vebix::e2e
