// The Windows rules that split a program's argument text, checked against
// their inverse: any list of arguments, quoted the way a Windows caller
// quotes them, splits back into exactly that list; and any text, once
// split, quoted and split again, gives the same list.
//
// The input's first byte says how the rest is read: odd, as UTF-16 code
// units (any text, unpaired surrogates included); even, as UTF-8. The text
// is the argument list, its arguments separated by U+0000 (empty ones
// included), and also the argument text that is split.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/process.h"

namespace {

// Prints the list and the text made of it, then stops.
void Require(bool ok, const char* what, const QStringList& list, const QString& text) {
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_arguments: broken: %s\n", what);
    for (const QString& arg : list)
        std::fprintf(stderr, "  argument [%s]\n", arg.toUtf8().constData());
    std::fprintf(stderr, "  text [%s]\n", text.toUtf8().constData());
    std::abort();
}

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// One argument as a Windows caller writes it. An argument with no blank and
// no double quote stands as it is (its backslashes are literal, as none
// precedes a quote). Any other, the empty one included, is wrapped in
// double quotes; inside, a run of n backslashes before a double quote
// becomes 2n + 1 backslashes and the quote, a run before the closing quote
// becomes 2n, and any other run stays as it is.
QString QuoteArgument(const QString& arg) {
    bool plain = !arg.isEmpty();
    for (const QChar c : arg)
        plain = plain && !IsBlank(c) && c != u'"';
    if (plain)
        return arg;
    QString out(1, u'"');
    qsizetype backslashes = 0;
    for (const QChar c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            out += QString(2 * backslashes + 1, u'\\');
            out += u'"';
        } else {
            out += QString(backslashes, u'\\');
            out += c;
        }
        backslashes = 0;
    }
    out += QString(2 * backslashes, u'\\');
    out += u'"';
    return out;
}

QString QuoteArguments(const QStringList& args) {
    QStringList quoted;
    for (const QString& arg : args)
        quoted << QuoteArgument(arg);
    return quoted.join(u' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const auto length = static_cast<qsizetype>(size - 1);
    QString text;
    if ((data[0] & 1) != 0) {
        text.resize(length / 2);
        std::memcpy(text.data(), bytes, size_t(text.size()) * sizeof(QChar));
    } else {
        text = QString::fromUtf8(bytes, length);
    }

    // Any list comes back as it was.
    const QStringList args = text.isEmpty() ? QStringList() : text.split(QChar(u'\0'));
    const QString quoted = QuoteArguments(args);
    Require(CommandLineToArgs(quoted) == args, "a quoted list splits into another list", args,
            quoted);

    // Any text: its arguments, quoted again, split into themselves.
    const QStringList split = CommandLineToArgs(text);
    const QString requoted = QuoteArguments(split);
    Require(CommandLineToArgs(requoted) == split, "a text's arguments, quoted, split otherwise",
            split, requoted);
    return 0;
}
