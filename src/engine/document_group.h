// Where the documents of a group of pages came from: a page, the windows it
// opened and the windows that opened it. With web security off every
// document of such a group can script every other, so what one of them
// loaded counts for all of them, until each one's own top frame navigates
// anew.
//
// The ledger is fed by the engine's own reports of loads (navigation
// requests of every frame, redirects included, the end of a top-frame
// load, certificate errors, every request a page makes), never by anything
// a page script can set or silence: the history API changes no entry.
//
// Threading: user-interface thread.
#pragma once

#include <QStringList>
#include <QUrl>
#include <map>

#include "engine/cef_browser.h"

namespace engine {

class DocumentGroup {
public:
    using Member = const void*;

    // A page joins the group; what the group has loaded so far counts for it
    // too (its opener can script it from the start).
    void Join(Member member);
    // A page leaves (its window closed). What it loaded stays counted for the
    // others: it may have scripted them.
    void Leave(Member member);
    bool Empty() const { return m_members.empty(); }

    // A navigation request of a frame of `member` (its top frame when
    // `topFrame`), or a redirect of one. A top-frame navigation is pending
    // until TopLoadEnded; what the page loads meanwhile counts for both the
    // old document and the new one.
    void Navigation(Member member, const QUrl& url, bool topFrame);
    // The load of the top frame of `member` ended. When `replaced`, a new
    // document took the old one's place, and only what was asked for since
    // the navigation began counts for the member; otherwise (stopped,
    // failed without a page) the old document may still be there, and
    // both count.
    void TopLoadEnded(Member member, bool replaced);
    // A load of `member` came with a certificate error that was accepted.
    // Nothing from that origin is trusted any more in this process: the
    // engine remembers the exception and does not report it again.
    void CertificateError(Member member, const QUrl& url);
    // A request of `member` of any kind (documents, scripts, styles); one
    // to an origin whose certificate failed earlier counts as insecure.
    void Request(Member member, const QUrl& url);

    // What decides who may ask for privileged work: every document that
    // can script the group's pages now.
    CefDocumentRecord Record() const;
    // The address of the top document of `member` as its last top-frame
    // load brought it (not what the history API says).
    QString TopAddress(Member member) const;

private:
    struct Ledger {
        QStringList current;
        QStringList insecure;
        bool pending = false;
        QStringList next;
        QStringList nextInsecure;
        QString top;
        QString nextTop;
    };
    void AddDocument(const QString& address, Member except);
    void AddInsecure(const QString& address);

    std::map<Member, Ledger> m_members;
};

// Whether a document of this address is made from its creator's text
// (about:blank, about:srcdoc, data:, blob:, javascript:) and so counts as
// its creator's.
bool IsCreatorsDocument(const QUrl& url);

}  // namespace engine
