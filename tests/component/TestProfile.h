// A profile of the test's own: the user's configuration directory (where
// the application object keeps its profile values) is a temporary directory
// while the test runs. Install puts it in use; Restore (or the end of the
// object's life) puts the user's own back, as FakePorts does with the ports.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

class TestProfile {
public:
    TestProfile() = default;
    TestProfile(const TestProfile&) = delete;
    TestProfile& operator=(const TestProfile&) = delete;
    ~TestProfile() { Restore(); }

    // False when the temporary directory could not be made.
    bool Install() {
        if (!m_home.isValid())
            return false;
        m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_home.path().toUtf8());
        // The toolkit settles the profile's directory at its first use in
        // the process; the test's own directory is set outright.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home.path());
        m_installed = true;
        return true;
    }
    void Restore() {
        if (!m_installed)
            return;
        if (m_hadConfigHome) {
            qputenv("XDG_CONFIG_HOME", m_configHome);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        m_installed = false;
    }
    QString Path() const { return m_home.path(); }

private:
    QTemporaryDir m_home;
    QByteArray m_configHome;
    bool m_hadConfigHome = false;
    bool m_installed = false;
};
