#include "packet/Packet.h"

#include "packet/Fields.h"
#include "packet/TextNumber.h"

#include <QStringView>
#include <climits>
#include <cstdint>

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr QChar kPercent(u'%');
constexpr QChar kFullwidthPercent(u'\uFF05');
constexpr QStringView kRootEnd = u"</PKT>";

// An empty, non-null text: what a present but empty field reads as.
QString EmptyText() {
    return QStringLiteral("");
}

QString WithoutPercentSigns(QString text) {
    text.replace(kPercent, kFullwidthPercent);
    return text;
}

QString OpeningTag(const QString& tag) {
    return QLatin1Char('<') + tag + QLatin1Char('>');
}

QString ClosingTag(const QString& tag) {
    return QLatin1String("</") + tag + QLatin1Char('>');
}

QString Field(const QString& tag, const QString& value) {
    return OpeningTag(tag) + value + ClosingTag(tag);
}

// Characters that cannot stand as themselves in a script string literal or
// would not reach the page unchanged: the other control characters, the two
// line terminators beside line feed and carriage return, and a surrogate
// that is not part of a pair (converting the script to UTF-8 on its way to
// the page would replace it).
bool NeedsUnicodeEscape(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7F || u == 0x2028 || u == 0x2029 || c.isSurrogate();
}

// "\uXXXX" with four upper-case hexadecimal digits.
QString UnicodeEscape(QChar c) {
    return QLatin1String("\\u") +
           QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
}

}  // namespace

CPacket::CPacket(int kind) : m_text(QStringLiteral("<PKT><GBN>%1</GBN></PKT>").arg(kind)) {}

CPacket::CPacket(const QString& text) : m_text(WithoutPercentSigns(text)) {}

CPacket::CPacket(const Verbatim& verbatim) : m_text(verbatim.text) {}

CPacket::~CPacket() = default;

void CPacket::SetText(const QString& text) {
    m_text = WithoutPercentSigns(text);
}

QString CPacket::GetText() const {
    return m_text;
}

QString CPacket::GetScriptText() const {
    QString out;
    out.reserve(m_text.size() + m_text.size() / 8 + 16);
    const qsizetype size = m_text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = m_text[i];
        if (c.isHighSurrogate() && i + 1 < size && m_text[i + 1].isLowSurrogate()) {
            // A well-formed pair is one character and survives any encoding.
            out += c;
            out += m_text[i + 1];
            ++i;
        } else if (c == u'\\') {
            out += QLatin1String("\\\\");
        } else if (c == u'"') {
            out += QLatin1String("\\\"");
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (NeedsUnicodeEscape(c)) {
            out += UnicodeEscape(c);
        } else {
            out += c;
        }
    }
    return out;
}

bool CPacket::Contains(const QString& str) const {
    if (str.isNull()) {
        return false;
    }
    return m_text.contains(str);
}

QString CPacket::GetString(const QString& tag, const QString& def) {
    Guard guard(m_lock);
    const qsizetype open = m_text.indexOf(OpeningTag(tag));
    if (open < 0) {
        return def;
    }
    // The value starts after the first '>' at or after the opening tag. The opening tag ends
    // with '>', so one is always found; a tag that itself holds '>' ends there.
    const qsizetype valueEnd = m_text.indexOf(u'>', open);
    // The closing tag is searched from the start of the text, not from the opening tag.
    const qsizetype close = m_text.indexOf(ClosingTag(tag));
    if (close < 0) {
        return def;
    }
    const qsizetype length = close - valueEnd - 1;
    if (length <= 0) {
        return EmptyText();
    }
    return m_text.mid(valueEnd + 1, length);
}

int CPacket::GetInt(const QString& tag, int def) {
    Guard guard(m_lock);
    QString value = GetString(tag, QString::number(def));
    value.remove(u',');
    return WideToLong(value);
}

void CPacket::AddString(const QString& tag, const QString& value) {
    Guard guard(m_lock);
    const qsizetype end = m_text.indexOf(kRootEnd);
    if (end < 0) {
        return;
    }
    m_text.insert(end, Field(tag, value));
}

void CPacket::AddInt(const QString& tag, int value) {
    Guard guard(m_lock);
    AddString(tag, QString::number(value));
}

void CPacket::Remove(const QString& tag) {
    Guard guard(m_lock);
    const QString value = GetString(tag, EmptyText());
    // Left to right, non-overlapping; fields of the same name with another value stay.
    m_text.remove(Field(tag, value));
}

void CPacket::SetString(const QString& tag, const QString& value) {
    Guard guard(m_lock);
    Remove(tag);
    AddString(tag, value);
}

void CPacket::SetInt(const QString& tag, int value) {
    Guard guard(m_lock);
    Remove(tag);
    AddInt(tag, value);
}

void CPacket::CopyUrl(CPacket& other) {
    const QString& url = field::kUrl;
    Guard guard(m_lock);
    QString value;
    {
        // Read the other packet under its own lock, so the test and the read see one text.
        Guard otherGuard(other.m_lock);
        // A mention of "URL" anywhere counts, even inside another field's value; the field
        // itself may then be missing, and this packet's URL becomes "".
        if (!other.Contains(url)) {
            return;
        }
        value = other.GetString(url, EmptyText());
    }
    SetString(url, value);
}
