#pragma once

#include <QString>
#include <QStringList>
#include <mutex>

#include "framework/afxtypes.h"

// A packet: the tag-delimited text "<PKT><NAME>value</NAME>...</PKT>" that pages, the browser
// client and the windows exchange, together with a re-entrant lock.
//
// Fields are found by plain substring search over the whole text: nesting is not interpreted,
// nothing is escaped and the text is never validated. Any text is a packet; on a text without
// the "<PKT>...</PKT>" root the readers find nothing and the writers add nothing.
//
// Where a page's packet came from, carried beside the text and never in it,
// as the engine knew it when the call was made. `frameUrl` and `pageUrl`
// name the sending frame (of a frame that shows another site only its
// origin is known) and its page's top frame, for messages. `documents` is
// what decides: the address, as the engine loaded it by navigation, of every
// document in the sender's page and in the windows of its group (frames of
// any depth, windows it opened or that opened it) since their top frames last
// navigated; `insecure` the addresses among them delivered with a
// certificate error. `window` is the top-level window that shows the
// sending page: a window the page asks for opens on its screen. All are empty
// for packets the program makes itself.
struct PacketSource {
    QString frameUrl;
    QString pageUrl;
    QStringList documents;
    QStringList insecure;
    HWND window = nullptr;
};

// Threads: the tag operations (GetString, GetInt, AddString, AddInt, Remove, SetString, SetInt,
// CopyUrl) hold the packet's lock for their whole run and may be called from any thread. They
// call one another, so the lock is re-entrant. The constructors, the destructor, SetText,
// GetText, GetScriptText and Contains do not lock: they must not run while another thread edits
// the same packet.
class CPacket {
public:
    // "<PKT><GBN>kind</GBN></PKT>".
    explicit CPacket(int kind);
    // The text as given, except that every '%' becomes U+FF05 (FULLWIDTH PERCENT SIGN).
    explicit CPacket(const QString& text);
    // The text exactly as given, '%' included: for a packet that was built
    // field by field elsewhere (launch parameters handed over from a second
    // start keep their percent-encoded addresses).
    struct Verbatim {
        QString text;
    };
    explicit CPacket(const Verbatim& verbatim);
    ~CPacket();

    // A packet is copied by building a new one from GetText(), never as an object.
    CPacket(const CPacket&) = delete;
    CPacket& operator=(const CPacket&) = delete;

    // Replaces the whole text; every '%' becomes U+FF05.
    void SetText(const QString& text);
    QString GetText() const;
    // The text ready to stand between the double quotes of a script string literal, so that
    // the literal's value is exactly the text: backslash, double quote, line feed and carriage
    // return become \\, \", \n and \r; the other control characters (U+0000-U+001F, U+007F),
    // U+2028, U+2029 and every surrogate that is not part of a pair become \uXXXX. A page's
    // text can therefore never end the literal. Everything else stays as it is.
    QString GetScriptText() const;
    // True when `str` occurs anywhere in the text (plain, case-sensitive substring test).
    // A null string stands for "no string" and gives false.
    bool Contains(const QString& str) const;

    // The value of the first field `tag`, or `def` when its opening or closing tag is missing.
    QString GetString(const QString& tag, const QString& def);
    // The value of `tag` as a decimal number with thousands commas removed, or `def` when the
    // field is missing. A present field that is empty or not numeric gives 0.
    int GetInt(const QString& tag, int def);
    // Insert "<tag>value</tag>" just before the first "</PKT>"; nothing when there is none.
    void AddString(const QString& tag, const QString& value);
    void AddInt(const QString& tag, int value);
    // Deletes every "<tag>v</tag>", v being the value GetString finds for `tag`.
    void Remove(const QString& tag);
    // Remove, then Add, under one holding of the lock: the field moves to the end.
    void SetString(const QString& tag, const QString& value);
    void SetInt(const QString& tag, int value);
    // Takes the URL field over from `other` when other's text mentions "URL" anywhere.
    // Locks this packet, then `other`.
    void CopyUrl(CPacket& other);

    // The sender, which a copy made from GetText() does not carry: whoever
    // copies a page's packet on its way sets it on the copy.
    void SetSource(const PacketSource& source) { m_source = source; }
    const PacketSource& Source() const { return m_source; }

private:
    PacketSource m_source;
    mutable std::recursive_mutex m_lock;
    QString m_text;
};
