#pragma once
// Points the user's folders at a test's own: HOME, XDG_CONFIG_HOME (so the documents folder is
// HOME/Documents unless user-dirs.dirs there says otherwise), XDG_DATA_HOME (dataFolder(), where
// per-user bot folders go) and the settings store, whose file is then configFolder()/Vebix.conf.
// Restores all four when it goes.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>

namespace vebix::testing {

class ScopedUserFolders {
public:
    explicit ScopedUserFolders(const QString& home)
        : home_(home),
          hadHome_(qEnvironmentVariableIsSet("HOME")),
          hadConfig_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
          hadData_(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
          oldHome_(qgetenv("HOME")),
          oldConfig_(qgetenv("XDG_CONFIG_HOME")),
          oldData_(qgetenv("XDG_DATA_HOME")) {
        QDir().mkpath(configFolder());
        qputenv("HOME", home_.toUtf8());
        qputenv("XDG_CONFIG_HOME", configFolder().toUtf8());
        qputenv("XDG_DATA_HOME", dataFolder().toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder());
    }
    ~ScopedUserFolders() {
        restore("HOME", hadHome_, oldHome_);
        restore("XDG_CONFIG_HOME", hadConfig_, oldConfig_);
        restore("XDG_DATA_HOME", hadData_, oldData_);
        // The store follows the configuration folder in force again.
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           config.isEmpty() ? QDir::homePath() + "/.config"
                                            : QString::fromUtf8(config));
    }
    ScopedUserFolders(const ScopedUserFolders&) = delete;
    ScopedUserFolders& operator=(const ScopedUserFolders&) = delete;

    QString configFolder() const { return home_ + "/.config"; }
    // The user's data folder (not created).
    QString dataFolder() const { return home_ + "/.local/share"; }
    // The settings store's file.
    QString settingsFile() const { return configFolder() + "/Vebix.conf"; }
    // Makes the documents folder folder (absolute), as the desktop's user-dirs.dirs would.
    void setDocumentsFolder(const QString& folder) const {
        QFile file(configFolder() + "/user-dirs.dirs");
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write("XDG_DOCUMENTS_DIR=\"" + folder.toUtf8() + "\"\n");
    }

private:
    static void restore(const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }

    QString home_;
    bool hadHome_;
    bool hadConfig_;
    bool hadData_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
    QByteArray oldData_;
};

}  // namespace vebix::testing
