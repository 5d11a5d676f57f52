// The judgement of which pages may start local programs, on any list of
// document addresses, against what a trusted origin means written out
// independently: the address read as the engine's addresses are (a URL in
// tolerant mode), its scheme, lower-cased host and port (80 and 443 when
// none is given) equal to those of a trusted origin, or a file address
// whose real path lies under the program's directory.
//
// The input is UTF-8 text in lines, each line a document address of the
// sender's group. "$PROGRAM" in a line stands for the program's directory.
// A first line "TRUSTEDORIGINS=..." is the settings file's line for this
// input; without it the settings file lists a few origins (one with a port,
// an IPv6 literal, one in upper case). A first line "!" (after the
// settings line, if any) hands the addresses over as the engine does,
// written out again fully encoded.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/IniFile.h"
#include "platform/ports.h"
#include "shared/Service.h"
#include "shared/ShellApp.h"
#include "update/TrustedOrigins.h"

namespace {

const QString kDefaultListed = QStringLiteral(
    "https://chat.example.com, https://CDN.Example.com:8443/x http://[::1]:8080,"
    "HTTPS://UPPER.EXAMPLE.COM/");
const QString kForeign = QStringLiteral("https://evil.test/");

class FuzzApp final : public CShellApp {
public:
    bool CreateBrowser(HWND, const CString&, const RECT&) override { return false; }
};

// The program's file lies in its own directory, under a temporary one that
// also holds a file outside it and the settings file.
class ProgramPath final : public platform::ExecutablePort {
public:
    CString ModuleFileName() override { return m_file; }
    CString m_file;
};

std::string g_root;
QString g_programDir;
QString g_writtenLine;
FuzzApp* g_app = nullptr;

void Fail(const char* what, const QStringList& documents, const QString& listed) {
    std::fprintf(stderr, "fuzz_trust: broken: %s\n", what);
    std::fprintf(stderr, "  TRUSTEDORIGINS [%s]\n", listed.toUtf8().constData());
    for (const QString& d : documents)
        std::fprintf(stderr, "  document [%s]\n", d.toUtf8().constData());
    std::abort();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz_trust: cannot write %s\n", path.toUtf8().constData());
        std::abort();
    }
}

void RemoveRoot() {
    if (!g_root.empty())
        QDir(QString::fromLocal8Bit(g_root.c_str())).removeRecursively();
}

// The settings file with `line` as its TRUSTEDORIGINS value, written only
// when it changes.
void WriteSettings(const QString& line) {
    if (line == g_writtenLine && !g_writtenLine.isNull())
        return;
    WriteFile(g_app->m_iniPath,
              QByteArray("[APP]\r\nTRUSTEDORIGINS=") + line.toUtf8() + QByteArray("\r\n"));
    g_writtenLine = line;
}

struct Origin {
    QString scheme;
    QString host;
    int port;
    bool operator==(const Origin&) const = default;
};

int DefaultPortOf(const QString& scheme) {
    if (scheme == u"http" || scheme == u"ws")
        return 80;
    if (scheme == u"https" || scheme == u"wss")
        return 443;
    return -1;
}

// The scheme, host and port of an address read in tolerant mode; no host,
// no origin.
bool ReadOrigin(const QString& address, Origin* origin) {
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    origin->scheme = url.scheme().toLower();
    origin->host = url.host().toLower();
    origin->port = url.port(DefaultPortOf(origin->scheme));
    return true;
}

// The trusted origins: the service's two addresses and each entry of the
// settings file's list, as the settings file reader gives it.
QList<Origin> ExpectedOrigins() {
    QStringList entries{ContentBaseUrl(), LoginUrl()};
    const QString listed = GetPrivateProfileStringW(
        QStringLiteral("APP"), QStringLiteral("TRUSTEDORIGINS"), QString(), 8192, g_app->m_iniPath);
    static const QRegularExpression separators(QStringLiteral("[ \\t\\r\\n\\f\\v,]+"));
    entries += listed.split(separators, Qt::SkipEmptyParts);
    QList<Origin> origins;
    for (const QString& entry : entries) {
        Origin o;
        if (ReadOrigin(entry, &o) && o.scheme != u"file")
            origins << o;
    }
    return origins;
}

bool IsUnderProgramDirectory(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    if (url.scheme() != u"file")
        return false;
    const QString file = QFileInfo(url.toLocalFile()).canonicalFilePath();
    return !file.isEmpty() && file.startsWith(g_programDir + u'/');
}

bool Judge(const QStringList& documents, QString* reason) {
    const PacketSource source{documents.value(0), documents.value(0), documents, {}};
    return IsTrustedSender(source, reason);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velk-fuzz-trust-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz_trust: mkdtemp");
        std::abort();
    }
    g_root = pattern;
    std::atexit(RemoveRoot);
    const QString root = QString::fromLocal8Bit(pattern.c_str());
    QDir(root).mkpath(QStringLiteral("program/pages"));
    WriteFile(root + QStringLiteral("/program/pages/chat.html"), "<p>");
    WriteFile(root + QStringLiteral("/outside.html"), "<p>");
    WriteFile(root + QStringLiteral("/program-other.html"), "<p>");
    // A link inside the program's directory to a file outside it.
    QFile::link(root + QStringLiteral("/outside.html"),
                root + QStringLiteral("/program/pages/link.html"));
    g_programDir = QFileInfo(root + QStringLiteral("/program")).canonicalFilePath();

    static ProgramPath program;
    program.m_file = root + QStringLiteral("/program/VelkSTKApp");
    static platform::Ports ports;
    ports.executable = &program;
    platform::InstallPorts(ports);
    g_app = new FuzzApp();
    g_app->m_iniPath = root + QStringLiteral("/app.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(u'\n');
    QString listed = kDefaultListed;
    if (lines.first().startsWith(QLatin1String("TRUSTEDORIGINS="))) {
        listed = lines.takeFirst().mid(15);
        listed.remove(u'\r');
    }
    const bool asEngine = !lines.isEmpty() && lines.first() == u"!";
    if (asEngine)
        lines.removeFirst();
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    WriteSettings(listed);

    QStringList documents;
    for (QString line : lines) {
        line.replace(QLatin1String("$PROGRAM"), g_programDir);
        documents << (asEngine ? QUrl(line).toString(QUrl::FullyEncoded) : line);
    }

    // The origin of an origin is itself.
    for (const QString& d : documents) {
        const QString origin = OriginOf(d);
        if (!origin.isEmpty() && OriginOf(origin) != origin)
            Fail("the origin of an origin is another", {d, origin, OriginOf(origin)}, listed);
    }

    QString reason;
    if (Judge({}, &reason))
        Fail("a sender without documents is trusted", {}, listed);

    const QList<Origin> origins = ExpectedOrigins();
    if (!Judge(documents, &reason))
        return 0;
    if (documents.isEmpty())
        Fail("no documents, trusted", documents, listed);
    for (const QString& d : documents) {
        Origin o;
        const bool byOrigin = ReadOrigin(d, &o) && origins.contains(o);
        if (!byOrigin && !IsUnderProgramDirectory(d))
            Fail("a document of no trusted origin is trusted", documents, listed);
    }

    // One foreign document anywhere in the group is enough to refuse.
    Origin foreign;
    ReadOrigin(kForeign, &foreign);
    if (!origins.contains(foreign)) {
        const qsizetype at = static_cast<qsizetype>(size % size_t(documents.size() + 1));
        QStringList tainted = documents;
        tainted.insert(at, kForeign);
        if (Judge(tainted, &reason))
            Fail("a group with a foreign document is trusted", tainted, listed);
    }
    return 0;
}
