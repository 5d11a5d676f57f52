// The launch-parameter grammar on any command line and any executable
// marker. The parser's result is checked against the grammar written out
// again in the plainest way: every well-formed KEY=VALUE pair after the
// first "://" that follows the marker, stored in order with SetString.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "app/LaunchParams.h"
#include "packet/Packet.h"

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_command_line: broken: %s\n", what);
        std::abort();
    }
}

QString ConsumeText(FuzzedDataProvider& in, size_t maxBytes) {
    const bool utf16 = in.ConsumeBool();
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    if (utf16) {
        return QString(reinterpret_cast<const QChar*>(bytes.data()),
                       static_cast<qsizetype>(bytes.size() / 2));
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The markers the program passes: ".exe" on Windows-style text, the name it
// was started by elsewhere; or any text, the empty one included.
QString ConsumeMarker(FuzzedDataProvider& in) {
    static const char* const kMarkers[] = {".exe", "velkstk", "VelkSTKApp", ""};
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(kMarkers));
    if (pick < std::size(kMarkers)) {
        return QString::fromLatin1(kMarkers[pick]);
    }
    return ConsumeText(in, 16);
}

// The pairs as the grammar has them, character by character.
void ExpectedParameters(const QString& line, const QString& marker, CPacket& params) {
    const qsizetype start = line.indexOf(marker) + marker.size() + 1;
    if (start > line.size()) {
        return;
    }
    const qsizetype scheme = line.indexOf(QLatin1String("://"), start);
    if (scheme < 0) {
        return;
    }
    QString token;
    const auto store = [&params](const QString& t) {
        qsizetype i = 0;
        while (i < t.size() && t[i] == u'=') {
            ++i;
        }
        QString key;
        while (i < t.size() && t[i] != u'=') {
            const QChar c = t[i++];
            key += (c >= u'a' && c <= u'z') ? QChar(c.unicode() - 32) : c;
        }
        if (i >= t.size() || i + 1 == t.size()) {
            return;  // no '=' after the key, or an empty value
        }
        if (key == QLatin1String("PKT")) {
            return;  // the packet's root is never a key
        }
        params.SetString(key, t.mid(i + 1));
    };
    for (qsizetype i = scheme + 3; i < line.size(); ++i) {
        if (line[i] == u'$') {
            store(token);
            token.clear();
        } else {
            token += line[i];
        }
    }
    store(token);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const QString marker = ConsumeMarker(in);
    const bool asUtf16 = in.ConsumeBool();
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QString line = asUtf16
                             ? QString(reinterpret_cast<const QChar*>(rest.data()),
                                       static_cast<qsizetype>(rest.size() / 2))
                             : QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));

    CPacket params(0);
    const QString initial = params.GetText();
    const bool goOn = ParseLaunchParameters(line, marker, params);

    if (line.isEmpty()) {
        Require(goOn && params.GetText() == initial, "an empty command line is not a plain start");
        return 0;
    }
    if (!line.contains(marker)) {
        Require(!goOn, "a command line without the marker did not end start-up");
        Require(params.GetText() == initial, "parameters stored from a line without the marker");
        return 0;
    }
    Require(goOn, "a command line with the marker ended start-up");
    CPacket expected(0);
    ExpectedParameters(line, marker, expected);
    Require(params.GetText() == expected.GetText(), "the parameters differ from the grammar's");
    return 0;
}
