// The settings-file reader on any file, with section, key, default and
// buffer size taken from the input too.
//
// Two shapes of input: any bytes written as the file as they are (UTF-8,
// CP949, marks, binary), or a text written in every encoding the reader
// knows, which must then read the same in each.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/IniFile.h"

namespace {

// One file per process, in a directory of its own (parallel runs do not
// share it), rewritten for every input.
QString g_path;
std::string g_dir;

void RemoveFile() {
    if (!g_path.isEmpty()) {
        ::unlink(g_path.toLocal8Bit().constData());
        ::rmdir(g_dir.c_str());
    }
}

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_settings_file: broken: %s\n", what);
        std::abort();
    }
}

void WriteFile(const QByteArray& bytes) {
    FILE* f = std::fopen(g_path.toLocal8Bit().constData(), "wb");
    Require(f != nullptr, "cannot write the settings file");
    if (!bytes.isEmpty()) {
        Require(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) == size_t(bytes.size()),
                "cannot write the settings file");
    }
    std::fclose(f);
}

// The names the system reads, or any short text.
QString ConsumeName(FuzzedDataProvider& in, const char* usual) {
    if (in.ConsumeBool()) {
        return QString::fromLatin1(usual);
    }
    const std::string s = in.ConsumeRandomLengthString(12);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray Utf16(const QString& text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo);
        out.append(bigEndian ? lo : hi);
    }
    return out;
}

struct Lookup {
    QString section;
    QString key;
    QString def;
    int bufferChars;
};

QString ReadString(const Lookup& l) {
    return GetPrivateProfileStringW(l.section, l.key, l.def, l.bufferChars, g_path);
}

// What holds for any file.
void CheckString(const Lookup& l, const QString& value) {
    if (l.bufferChars <= 0) {
        Require(value.isEmpty(), "a value came back through no buffer");
        return;
    }
    Require(value.size() <= l.bufferChars - 1, "a value longer than the buffer");
    Require(!value.contains(QChar(u'\0')), "a value holds a NUL");
    // A value lies within one line; only a default can bring a line end.
    if (!l.def.contains(u'\n') && !l.def.contains(u'\r')) {
        Require(!value.contains(u'\n') && !value.contains(u'\r'), "a value spans lines");
    }
}

void CheckInt(const Lookup& l, int def) {
    const int number = GetPrivateProfileIntW(l.section, l.key, def, g_path);
    // The integer reader reads the string through a buffer of 30 characters.
    if (GetPrivateProfileStringW(l.section, l.key, QString(), 30, g_path).isEmpty()) {
        Require(number == def, "a missing or empty number did not give the default");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velk-fuzz-ini-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz_settings_file: mkdtemp");
        std::abort();
    }
    g_dir = pattern;
    g_path = QString::fromLocal8Bit(pattern.c_str()) + QStringLiteral("/app.ini");
    std::atexit(RemoveFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Lookup l;
    l.section = ConsumeName(in, "APP");
    l.key = ConsumeName(in, "URL");
    l.def = ConsumeName(in, "dflt");
    // The system always passes 512; the others reach the cutting rules.
    l.bufferChars = in.ConsumeBool() ? 512 : in.ConsumeIntegralInRange(-1, 600);
    const int intDefault = in.ConsumeIntegral<int>();
    const bool everyEncoding = in.ConsumeBool();
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    if (!everyEncoding) {
        WriteFile(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        CheckString(l, ReadString(l));
        CheckInt(l, intDefault);
        return 0;
    }

    // Valid Unicode from the bytes, written with each mark; without a mark
    // as UTF-8 too, unless the text starts with U+FEFF (whose UTF-8 form is
    // the mark).
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QByteArray utf8 = text.toUtf8();
    WriteFile(QByteArray("\xEF\xBB\xBF", 3) + utf8);
    const QString value = ReadString(l);
    CheckString(l, value);
    CheckInt(l, intDefault);
    WriteFile(Utf16(text, false));
    Require(ReadString(l) == value, "UTF-16LE reads otherwise than UTF-8");
    WriteFile(Utf16(text, true));
    Require(ReadString(l) == value, "UTF-16BE reads otherwise than UTF-8");
    if (!text.startsWith(QChar(0xFEFF))) {
        WriteFile(utf8);
        Require(ReadString(l) == value, "UTF-8 without a mark reads otherwise than with one");
    }
    return 0;
}
