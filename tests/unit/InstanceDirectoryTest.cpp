// Which directory may hold the lock files and the channel of one user: a
// directory of that user's alone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/instance.h"

namespace {

TEST(InstanceDirectory, OnlyADirectoryOfTheUsersAloneIsUsed) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString root = temp.path();
    const auto made = [&](const char* name, mode_t mode) {
        const QString path = root + QLatin1Char('/') + QLatin1String(name);
        EXPECT_EQ(::mkdir(QFile::encodeName(path).constData(), 0700), 0) << name;
        // Rights set outright: the test's umask plays no part.
        EXPECT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << name;
        return path;
    };
    const QString own = made("own", 0700);
    const QString others = made("others", 0755);
    const QString group = made("group", 0730);
    const QString link = root + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(own, link));
    const QString file = root + QStringLiteral("/file");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    struct Case {
        QString path;
        bool used;
        // Whose directory it must be: this user's, or another's (the
        // directory then belongs to somebody else).
        uid_t uid = ::getuid();
    };
    const Case cases[] = {
        {own, true},
        {others, false},
        {group, false},
        {own, false, ::getuid() + 1},
        {link, false},
        {file, false},
        {root + QStringLiteral("/missing"), false},
    };
    for (const Case& c : cases) {
        const QString problem = platform::PrivateDirectoryProblem(c.path, c.uid);
        EXPECT_EQ(problem.isEmpty(), c.used)
            << c.path.toStdString() << ": " << problem.toStdString();
    }
}

}  // namespace
