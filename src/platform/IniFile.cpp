#include "platform/IniFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#if __has_include(<iconv.h>)
#include <iconv.h>
#include <cerrno>
#define VELK_HAVE_ICONV 1
#endif

// The rule numbers in the comments are those of docs/ini-rules.md.

namespace {

// Files are read up to this many bytes; a larger file is read as its first
// part, so that a runaway file cannot exhaust memory.
constexpr qint64 kMaxFileBytes = qint64(128) * 1024 * 1024;

// The integer reader's buffer (rule 14).
constexpr int kIntBufferChars = 30;

// Rule 2: tab, LF, VT, FF, CR, space and U+001A.
bool isBlank(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

QStringView trimmedLeft(QStringView s) {
    qsizetype b = 0;
    while (b < s.size() && isBlank(s[b].unicode()))
        ++b;
    return s.sliced(b);
}

QStringView trimmedRight(QStringView s) {
    qsizetype e = s.size();
    while (e > 0 && isBlank(s[e - 1].unicode()))
        --e;
    return s.first(e);
}

QStringView trimmed(QStringView s) {
    return trimmedRight(trimmedLeft(s));
}

// The Win32 functions see strings as NUL-terminated (rule 11).
QStringView untilNul(QStringView s) {
    const qsizetype nul = s.indexOf(QChar(u'\0'));
    return nul < 0 ? s : s.first(nul);
}

// Rule 7: names match without regard to ASCII case.
bool equalsAsciiNoCase(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= u'A' && x <= u'Z')
            x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z')
            y = char16_t(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

// Strict UTF-8 check (no overlong forms, no surrogates, nothing above
// U+10FFFF). With `allowCutTail` an incomplete sequence at the very end is
// accepted (the file was read only in part).
bool isValidUtf8(const unsigned char* p, qsizetype n, bool allowCutTail) {
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            // ASCII runs, eight bytes at a time.
            std::uint64_t word;
            while (i + 8 <= n &&
                   (std::memcpy(&word, p + i, 8), (word & 0x8080808080808080ULL) == 0))
                i += 8;
            continue;
        }
        int len;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        for (int k = 1; k < len; ++k) {
            if (i + k >= n)
                return allowCutTail;
            const unsigned char t = p[i + k];
            if (k == 1 ? (t < lo || t > hi) : (t < 0x80 || t > 0xBF))
                return false;
        }
        i += len;
    }
    return true;
}

// Rule 17: the Korean ANSI code page. ICU's "windows-949" is Microsoft's table
// (ICU's "CP949" is IBM's code page 949, which differs from it); glibc's iconv
// "CP949" (UHC) serves when Qt was built without ICU. Bytes that do not convert
// become U+FFFD. Called chunk by chunk; only the last chunk may end inside a
// character.
class Cp949Decoder {
public:
    Cp949Decoder() : icu_("windows-949") {
#ifdef VELK_HAVE_ICONV
        if (!icu_.isValid()) {
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
            iconv_ = iconv_open("UTF-16LE", "CP949");
#else
            iconv_ = iconv_open("UTF-16BE", "CP949");
#endif
        }
#endif
    }
    ~Cp949Decoder() {
#ifdef VELK_HAVE_ICONV
        if (iconv_ != kNoIconv)
            iconv_close(iconv_);
#endif
    }
    Cp949Decoder(const Cp949Decoder&) = delete;
    Cp949Decoder& operator=(const Cp949Decoder&) = delete;

    QString decode(QByteArrayView bytes, bool last) {
        if (icu_.isValid()) {
            QString out = icu_.decode(bytes);
            // Qt's ICU decoder keeps an incomplete lead byte at the end as
            // state, even when told to be stateless; a LF (which changes no
            // line) makes it come out.
            if (last)
                out += icu_.decode(QByteArrayView("\n", 1));
            return out;
        }
#ifdef VELK_HAVE_ICONV
        if (iconv_ != kNoIconv)
            return decodeWithIconv(bytes);
#endif
        return QString::fromLatin1(bytes);
    }

private:
#ifdef VELK_HAVE_ICONV
    static inline const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

    QString decodeWithIconv(QByteArrayView bytes) {
        // Every character takes at least one byte and gives one UTF-16 unit,
        // and every skipped byte gives one U+FFFD, so the input size suffices;
        // the buffer still grows if iconv ever asks for more.
        QString out(bytes.size() + 16, Qt::Uninitialized);
        qsizetype used = 0;
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = size_t(bytes.size());
        iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* const outStart = reinterpret_cast<char*>(out.data() + used);
            char* outPtr = outStart;
            size_t outLeft = size_t(out.size() - used) * sizeof(char16_t);
            const size_t rc = iconv(iconv_, &in, &inLeft, &outPtr, &outLeft);
            const int err = errno;
            used += qsizetype(outPtr - outStart) / qsizetype(sizeof(char16_t));
            if (rc != size_t(-1))
                break;
            if (err == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL: replace the offending byte and go on.
            if (used >= out.size())
                out.resize(out.size() * 2);
            out[used++] = QChar(char16_t(0xFFFD));
            ++in;
            --inLeft;
        }
        out.truncate(used);
        return out;
    }

    iconv_t iconv_ = kNoIconv;
#endif
    QStringDecoder icu_;
};

// Reads the file's bytes; false if it is not a readable regular file. Devices
// and pipes are refused so that a read can never block or run forever.
bool readProfile(const QString& path, QByteArray* bytes, bool* cut) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    const qint64 want = std::min(size, kMaxFileBytes);
    if (want > 0) {
        *bytes = file.read(want);
        if (bytes->isEmpty() && file.error() != QFileDevice::NoError)
            return false;
    }
    *cut = size > kMaxFileBytes;
    return true;
}

// Rules 10 and 12, as lstrcpynW into a buffer of `bufferChars` characters.
QString copyValue(QStringView value, int bufferChars) {
    if (bufferChars <= 0)
        return QString();
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == u'\'' || value.front() == u'"') &&
        value.back() == value.front()) {
        quoted = true;
        value = value.sliced(1);
    }
    QString out = value.first(std::min<qsizetype>(value.size(), bufferChars - 1)).toString();
    // The closing quote goes only when the rest fitted the buffer; it is taken
    // off whatever came through, so an inside of bufferChars - 1 loses its last
    // character.
    if (quoted && bufferChars >= value.size())
        out.chop(1);
    return out;
}

// Rule 13, then the buffer limit.
QString copyDefault(QStringView def, int bufferChars) {
    if (bufferChars <= 0)
        return QString();
    def = untilNul(def);
    qsizetype n = def.size();
    while (n > 1 && def[n - 1] == u' ')
        --n;
    return def.first(std::min<qsizetype>(n, bufferChars - 1)).toString();
}

// One pass over the lines (rules 1 to 8), fed with text that always ends at a
// line end (or at the end of the file). Stops at the first key of that name in
// the first section of that name.
class Lookup {
public:
    Lookup(QStringView section, QStringView key, int bufferChars)
        : section_(section), key_(key), bufferChars_(bufferChars) {}

    // Reads the lines of `text`; true when the answer is known.
    bool feed(QStringView text) {
        const QChar* p = text.data();
        const QChar* const end = p + text.size();
        while (p < end) {
            // Rule 1: a line ends at a run of CR and LF.
            const QChar* lineStart = p;
            while (p < end && *p != u'\n' && *p != u'\r')
                ++p;
            const QChar* lineEnd = p;
            while (p < end && (*p == u'\n' || *p == u'\r'))
                ++p;

            // Rule 2.
            while (lineStart < lineEnd && isBlank(lineStart->unicode()))
                ++lineStart;
            while (lineEnd > lineStart && isBlank(lineEnd[-1].unicode()))
                --lineEnd;
            if (lineStart != lineEnd && readLine(QStringView(lineStart, lineEnd)))
                return true;
        }
        return false;
    }

    // Whether the key was found with a value, and that value as it comes
    // through the caller's buffer.
    bool found() const { return found_; }
    const QString& value() const { return value_; }

private:
    bool readLine(QStringView line) {
        // Rule 3: a header runs to the last ']'; without one it is a key line.
        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close > 0) {
                if (inSection_)
                    return true;  // rule 4: only the first section of the name
                const QStringView name = untilNul(trimmed(line.sliced(1, close - 1)));
                inSection_ = !name.isEmpty() && equalsAsciiNoCase(name, section_);
                return false;
            }
        }
        if (!inSection_)
            return false;  // another section, or keys before any section (rule 4)

        // Rules 5 and 6: split at the first '='; no comments.
        const qsizetype eq = line.indexOf(u'=');
        const QStringView name = untilNul(eq < 0 ? line : trimmedRight(line.first(eq)));
        if (!equalsAsciiNoCase(name, key_))
            return false;
        // Rule 8: the first key wins, even without a value.
        if (eq >= 0) {
            found_ = true;
            value_ = copyValue(untilNul(trimmedLeft(line.sliced(eq + 1))), bufferChars_);
        }
        return true;
    }

    QStringView section_;
    QStringView key_;
    int bufferChars_;
    bool inSection_ = false;
    bool found_ = false;
    QString value_;
};

// Bytes per piece of text decoded at a time (extended to the next line end),
// so that a big file is never held as text all at once.
constexpr qsizetype kChunkBytes = qsizetype(1) << 20;

// Index just after the first CR or LF byte at or after `from`, or `n`.
qsizetype afterNextLineEnd(const char* p, qsizetype from, qsizetype n) {
    for (qsizetype i = from; i < n; ++i) {
        if (p[i] == '\n' || p[i] == '\r')
            return i + 1;
    }
    return n;
}

// Rules 16 and 17, then the lines piece by piece. The pieces end after a CR or
// LF byte, which in UTF-8 and CP949 is never part of another character.
void scanProfile(const QByteArray& bytes, bool cut, Lookup& lookup) {
    const auto* u = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();

    const bool utf16le = n >= 2 && u[0] == 0xFF && u[1] == 0xFE;
    const bool utf16be = n >= 2 && u[0] == 0xFE && u[1] == 0xFF;
    if (utf16le || utf16be) {
        // Taken unit by unit, unpaired surrogates included (as Windows keeps
        // them); an odd last byte is dropped.
        const qsizetype units = (n - 2) / 2;
        const unsigned char* data = u + 2;
        const auto unitAt = [&](qsizetype i) {
            const unsigned a = data[2 * i], b = data[2 * i + 1];
            return char16_t(utf16be ? (a << 8 | b) : (b << 8 | a));
        };
        QString piece;
        for (qsizetype pos = 0; pos < units;) {
            qsizetype end = std::min(units, pos + kChunkBytes / 2);
            while (end < units && unitAt(end - 1) != u'\n' && unitAt(end - 1) != u'\r')
                ++end;
            piece.resize(end - pos);
            QChar* d = piece.data();
            for (qsizetype i = pos; i < end; ++i)
                d[i - pos] = QChar(unitAt(i));
            if (lookup.feed(piece))
                return;
            pos = end;
        }
        return;
    }

    const bool utf8Mark = n >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF;
    const qsizetype start = utf8Mark ? 3 : 0;
    const bool utf8 = utf8Mark || isValidUtf8(u, n, cut);
    // A U+FEFF after the mark is text, so the decoder must not drop marks.
    QStringDecoder utf8Decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                           QStringConverter::Flag::Stateless);
    std::optional<Cp949Decoder> cp949;
    if (!utf8)
        cp949.emplace();
    for (qsizetype pos = start; pos < n;) {
        const qsizetype end =
            afterNextLineEnd(bytes.constData(), std::min(n, pos + kChunkBytes) - 1, n);
        const QByteArrayView piece(bytes.constData() + pos, end - pos);
        const QString text = utf8 ? utf8Decoder.decode(piece) : cp949->decode(piece, end == n);
        if (lookup.feed(text))
            return;
        pos = end;
    }
}

// Rule 15, as RtlUnicodeStringToInteger with base 0.
uint32_t parseInteger(QStringView s) {
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && s[i].unicode() <= 0x20)
        ++i;
    bool minus = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        minus = s[i] == u'-';
        ++i;
    }
    uint32_t base = 10;
    if (n - i >= 2 && s[i] == u'0') {
        const char16_t c = s[i + 1].unicode();
        if (c == u'b')
            base = 2;
        else if (c == u'o')
            base = 8;
        else if (c == u'x')
            base = 16;
        if (base != 10)
            i += 2;
    }
    uint32_t total = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        uint32_t digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'A' && c <= u'Z')
            digit = c - u'A' + 10;
        else if (c >= u'a' && c <= u'z')
            digit = c - u'a' + 10;
        else
            break;
        if (digit >= base)
            break;
        total = total * base + digit;  // wraps modulo 2^32
    }
    return minus ? 0u - total : total;
}

}  // namespace

QString GetPrivateProfileStringW(const QString& section, const QString& key, const QString& def,
                                 int bufferChars, const QString& path) {
    // The names are taken as the C strings the Win32 functions see, trimmed as
    // Windows trims them.
    const QStringView sectionName = trimmed(untilNul(section));
    const QStringView keyName = trimmed(untilNul(key));
    if (bufferChars <= 0 || sectionName.isEmpty() || keyName.isEmpty())
        return copyDefault(def, bufferChars);

    QByteArray bytes;
    bool cut = false;
    if (!readProfile(path, &bytes, &cut))
        return copyDefault(def, bufferChars);
    Lookup lookup(sectionName, keyName, bufferChars);
    scanProfile(bytes, cut, lookup);
    return lookup.found() ? lookup.value() : copyDefault(def, bufferChars);
}

int GetPrivateProfileIntW(const QString& section, const QString& key, int def,
                          const QString& path) {
    const QString value = GetPrivateProfileStringW(section, key, QString(), kIntBufferChars, path);
    if (value.isEmpty())
        return def;
    return static_cast<int>(parseInteger(value));
}
