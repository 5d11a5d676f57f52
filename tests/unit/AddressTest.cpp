// Which addresses from outside the program opens: web addresses and paths
// on the service, read as a browser reads them.
#include <gtest/gtest.h>

#include "platform/address.h"

namespace {

TEST(WebAddress, OnlyWebAddressesAndPathsOnTheServiceAreOpened) {
    struct Case {
        QString address;
        bool accepted;
    };
    const Case cases[] = {
        // Web addresses, the scheme in any case.
        {"http://127.0.0.1:18480/chat.html?id=1", true},
        {"https://example.test/", true},
        {"HTTPS://example.test/room", true},
        {"http://example.test/방?q=%EB%B2%A8", true},
        // Paths on the service (no scheme), a colon after the path begins.
        {"", true},
        {"chat.html", true},
        {"/chat.html?at=10:30", true},
        {"?user=a:b", true},
        {"#top", true},
        {"room/a:b", true},
        // Other schemes, however they are written.
        {"file:///etc/passwd", false},
        {"FILE:/etc/passwd", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"javascript:alert(1)", false},
        {"JAVASCRIPT:alert(1)", false},
        {"  javascript:alert(1)", false},
        {QString::fromUtf8("\x01\x1f javascript:alert(1)"), false},
        {QString::fromUtf8("\xef\xbb\xbf\xc2\xa0javascript:alert(1)"),
         false},  // BOM, no-break space
        {"java\tscript:alert(1)", false},
        {"java\nscr\ript:alert(1)", false},
        {"blob:http://example.test/0b1c", false},
        {"about:blank", false},
        {"view-source:http://example.test/", false},
        {"chrome://settings", false},
        {"ftp://example.test/", false},
        {"httpx://example.test/", false},
        // A colon before any slash names a scheme, well formed or not.
        {"12:30", false},
        {"{APPPATH}:x", false},
        // Web schemes without a host.
        {"http:/chat.html", false},
        {"https:", false},
        // Another host without a scheme.
        {"//evil.test/x", false},
        {"\\\\evil.test\\x", false},
        {"/\\evil.test/x", false},
        {" \t//evil.test/x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::IsWebAddress(c.address), c.accepted) << c.address.toStdString();
    }
}

}  // namespace
