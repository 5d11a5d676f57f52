// Every packet operation on any text. Numbers read off the input's end
// choose the constructors, the operations, the packet each acts on and the
// tags; the texts and values come from its front. Besides what the
// sanitizers find, it checks what must hold for any text.
#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "packet/Packet.h"

namespace {

// Stops the run with the reason; libFuzzer keeps the input as a crash.
void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_packet: broken: %s\n", what);
        std::abort();
    }
}

// A text from the input: as UTF-8 (the shape pages send) or as raw UTF-16
// units, so that unpaired surrogates and any other unit reach the packet too.
QString ConsumeText(FuzzedDataProvider& in, size_t maxBytes) {
    const bool utf16 = in.ConsumeBool();
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    if (utf16) {
        return QString(reinterpret_cast<const QChar*>(bytes.data()),
                       static_cast<qsizetype>(bytes.size() / 2));
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The tags the system uses, with the root and the empty name, or any text.
QString ConsumeTag(FuzzedDataProvider& in) {
    static const char* const kTags[] = {"URL", "GBN", "CMD", "MSG", "A", "PKT", "", "URL>"};
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(kTags));
    if (pick < std::size(kTags)) {
        return QString::fromLatin1(kTags[pick]);
    }
    return ConsumeText(in, 16);
}

QString WithFullwidthPercent(QString text) {
    return text.replace(u'%', QChar(0xFF05));
}

// What fuzz_script_text checks in a script engine, checked here by counting:
// the script text holds no line break and no double quote that is not escaped
// (preceded by an odd run of backslashes), so it cannot end the literal.
void CheckScriptText(const CPacket& packet) {
    const QString script = packet.GetScriptText();
    Require(!script.contains(u'\n') && !script.contains(u'\r'),
            "a line break left in the script text");
    Require(script.size() >= packet.GetText().size(), "the script text lost characters");
    for (qsizetype i = script.indexOf(u'"'); i >= 0; i = script.indexOf(u'"', i + 1)) {
        qsizetype backslashes = 0;
        while (backslashes < i && script[i - 1 - backslashes] == u'\\') {
            ++backslashes;
        }
        Require(backslashes % 2 == 1, "an unescaped double quote in the script text");
    }
}

enum Op : uint8_t {
    kSetText,
    kGetString,
    kGetInt,
    kAddString,
    kAddInt,
    kRemove,
    kSetString,
    kSetInt,
    kCopyUrl,
    kContains,
    kScriptText,
    kLastOp = kScriptText,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    // Two packets, so that CopyUrl has another to take from; each made by one
    // of the three constructors.
    CPacket* packets[2] = {};
    // Whether a '%' may have come in with a value or tag added field by field,
    // or with a verbatim text; a text taken as a whole never brings one.
    bool mayHavePercent[2] = {};
    for (int i = 0; i < 2; ++i) {
        switch (in.ConsumeIntegralInRange(0, 2)) {
            case 0:
                packets[i] = new CPacket(in.ConsumeIntegral<int>());
                break;
            case 1: {
                const QString text = ConsumeText(in, 512);
                packets[i] = new CPacket(text);
                Require(packets[i]->GetText() == WithFullwidthPercent(text),
                        "the text constructor changed more than the percent signs");
                break;
            }
            default: {
                const QString text = ConsumeText(in, 512);
                packets[i] = new CPacket(CPacket::Verbatim{text});
                Require(packets[i]->GetText() == text, "a verbatim text was changed");
                mayHavePercent[i] = text.contains(u'%');
                break;
            }
        }
    }

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const int which = in.ConsumeIntegralInRange(0, 1);
        CPacket& p = *packets[which];
        const auto op = static_cast<Op>(in.ConsumeIntegralInRange<uint8_t>(0, kLastOp));
        const QString before = p.GetText();
        switch (op) {
            case kSetText: {
                const QString text = ConsumeText(in, 512);
                p.SetText(text);
                Require(p.GetText() == WithFullwidthPercent(text),
                        "SetText changed more than the percent signs");
                mayHavePercent[which] = false;
                break;
            }
            case kGetString: {
                const QString tag = ConsumeTag(in);
                const QString def = in.ConsumeBool() ? QString() : ConsumeText(in, 8);
                const QString value = p.GetString(tag, def);
                if (!before.contains(QLatin1Char('<') + tag + QLatin1Char('>')) ||
                    !before.contains(QLatin1String("</") + tag + QLatin1Char('>'))) {
                    Require(value == def, "a missing field did not give the default");
                } else {
                    Require(!value.isNull() && before.contains(value),
                            "a present field gave a value that is not part of the text");
                }
                Require(p.GetText() == before, "GetString changed the text");
                break;
            }
            case kGetInt: {
                const QString tag = ConsumeTag(in);
                const int def = in.ConsumeIntegral<int>();
                const int value = p.GetInt(tag, def);
                if (!before.contains(QLatin1Char('<') + tag + QLatin1Char('>'))) {
                    Require(value == def, "a missing number did not give the default");
                }
                Require(p.GetText() == before, "GetInt changed the text");
                break;
            }
            case kAddString:
            case kAddInt: {
                const QString tag = ConsumeTag(in);
                QString value;
                if (op == kAddString) {
                    value = ConsumeText(in, 64);
                    p.AddString(tag, value);
                } else {
                    const int number = in.ConsumeIntegral<int>();
                    value = QString::number(number);
                    p.AddInt(tag, number);
                }
                const QString field = QLatin1Char('<') + tag + QLatin1Char('>') + value +
                                      QLatin1String("</") + tag + QLatin1Char('>');
                const qsizetype end = before.indexOf(QLatin1String("</PKT>"));
                if (end < 0) {
                    Require(p.GetText() == before, "a field was added to a text without a root");
                } else {
                    Require(p.GetText() == QString(before).insert(end, field),
                            "a field was not put just before the first </PKT>");
                    mayHavePercent[which] = mayHavePercent[which] || field.contains(u'%');
                }
                break;
            }
            case kRemove: {
                const QString tag = ConsumeTag(in);
                p.Remove(tag);
                Require(p.GetText().size() <= before.size(), "Remove made the text longer");
                break;
            }
            case kSetString:
            case kSetInt: {
                const QString tag = ConsumeTag(in);
                QString value;
                if (op == kSetString) {
                    value = ConsumeText(in, 64);
                    p.SetString(tag, value);
                } else {
                    const int number = in.ConsumeIntegral<int>();
                    value = QString::number(number);
                    p.SetInt(tag, number);
                }
                // Remove then add: at most one field longer than before.
                Require(p.GetText().size() <= before.size() + 2 * tag.size() + 5 + value.size(),
                        "SetString grew the text by more than one field");
                mayHavePercent[which] =
                    mayHavePercent[which] || tag.contains(u'%') || value.contains(u'%');
                break;
            }
            case kCopyUrl: {
                CPacket& other = *packets[in.ConsumeIntegralInRange(0, 1)];
                const bool mentionsUrl = other.GetText().contains(QLatin1String("URL"));
                const bool otherPercent = mayHavePercent[&other == packets[0] ? 0 : 1];
                p.CopyUrl(other);
                if (!mentionsUrl) {
                    Require(p.GetText() == before,
                            "CopyUrl changed a packet without a URL to copy");
                }
                mayHavePercent[which] = mayHavePercent[which] || otherPercent;
                break;
            }
            case kContains: {
                const QString str = in.ConsumeBool() ? QString() : ConsumeText(in, 16);
                Require(p.Contains(str) == (!str.isNull() && before.contains(str)),
                        "Contains is not a substring test");
                break;
            }
            case kScriptText:
                CheckScriptText(p);
                break;
        }
        if (!mayHavePercent[which]) {
            Require(!p.GetText().contains(u'%'), "a percent sign appeared in a packet");
        }
    }
    CheckScriptText(*packets[0]);
    CheckScriptText(*packets[1]);
    delete packets[0];
    delete packets[1];
    return 0;
}
