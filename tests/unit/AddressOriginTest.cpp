// What an address's origin is, whether it is a file under a directory, and
// how a settings file's list of origins is read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/address.h"

namespace {

TEST(AddressOrigin, OriginsAndFilesUnderADirectory) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath("program/pages"));
    for (const char* name : {"/program/pages/a.html", "/outside.html", "/program-other.html"}) {
        QFile f(root.path() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(
        QFile::link(root.path() + "/outside.html", root.path() + "/program/pages/link.html"));
    const auto file = [&](const char* path) {
        return QUrl::fromLocalFile(root.path() + path).toString();
    };
    struct Case {
        QString address;
        QString origin;
        bool file;
        bool underProgram;
    };
    const Case cases[] = {
        {"https://Chat.Example.COM/room?a=1", "https://chat.example.com", false, false},
        {"HTTP://h.test:80/", "http://h.test", false, false},
        {"wss://h.test:443/", "wss://h.test", false, false},
        {"ws://h.test:443/", "ws://h.test:443", false, false},
        {"https://h.test:8443/x", "https://h.test:8443", false, false},
        {"http://[::1]:8080/", "http://[::1]:8080", false, false},
        {QStringLiteral("https://B\u00fccher.test/"), "https://xn--bcher-kva.test", false, false},
        // Read as given and strictly: no blanks trimmed, no bad port, a host.
        {" https://h.test/", "", false, false},
        {"https://h.test:99999/", "", false, false},
        {"null", "", false, false},
        {"data:text/html,x", "", false, false},
        // Files: under the directory only, links and ".." resolved.
        {file("/program/pages/a.html"), "", true, true},
        {"FILE://" + file("/program/pages/a.html").mid(7), "", true, true},
        {file("/program/pages/../../outside.html"), "", true, false},
        {file("/program/pages/link.html"), "", true, false},
        {file("/program-other.html"), "", true, false},
        {file("/program/pages/missing.html"), "", true, false},
        {"file://h.test" + file("/program/pages/a.html").mid(7), "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(platform::AddressOrigin(c.address), c.origin);
        EXPECT_EQ(platform::IsFileAddress(c.address), c.file);
        EXPECT_EQ(platform::IsFileAddressUnder(c.address, root.path() + "/program"),
                  c.underProgram);
    }
    // Blanks are ASCII white space: a wide space (U+2003) is part of an entry.
    EXPECT_EQ(platform::SplitAtBlanksAndCommas(QStringLiteral(" a,b\t\n,, c\u2003d ")),
              QStringList({"a", "b", QStringLiteral("c\u2003d")}));
}

}  // namespace
