// Where the documents that could script a group of pages came from: a page,
// the windows it opened and the windows that opened them, transitively.
// With web security off every document of such a group can script every
// other, and a script one of them plants in another outlives its author.
//
// The rule this ledger keeps: a document may start a program only if, at
// every moment of its life, every document that could script it came from
// a trusted origin without a certificate error. So:
// - A document's taint is fixed when it is born, from the documents of the
//   group's live members and their frames (and what could script those),
//   and it grows with every document that joins the group while it lives.
//   It never shrinks; it ends only with the document.
// - A window that leaves the group leaves its documents counted in every
//   document it could have scripted. A later top load of another member
//   starts clean only from the documents of the members still alive then.
//
// Every live document of a group can script every other, so all of them
// share one taint: the group's. It starts clean only when a member that was
// alone in the group from the start of its top navigation to its end gets
// a new document: nothing else was there to script that document, and the
// old one is gone. The engine does not say when, between the two, the new
// document took the old one's place, so a member that joined or lived at any
// moment of that span leaves the taint as it is.
//
// The ledger is fed by the engine's own reports (navigation requests of
// every frame, redirects included, the end of a top-frame load, certificate
// errors, every request a page makes), never by anything a page script can
// set or silence: the history API changes no entry.
//
// Threading: user-interface thread.
#pragma once

#include <QSet>
#include <QStringList>
#include <QUrl>
#include <map>

#include "engine/cef_browser.h"

namespace engine {

// Hosts whose certificate failed on a secure connection and was accepted.
// The engine keeps such a decision per host, whatever the port, for the
// life of the process, and does not ask again.
class FailedHosts {
public:
    void Add(const QUrl& url);
    // Whether `url` is a secure address of such a host (other pages carry
    // no certificate).
    bool Contains(const QUrl& url) const;

private:
    QSet<QString> m_hosts;
};

// The process's own, shared by every group.
FailedHosts& ProcessFailedHosts();

class DocumentGroup {
public:
    // A member is one page for the whole life of the page.
    using Member = const void*;

    explicit DocumentGroup(FailedHosts& failedHosts = ProcessFailedHosts())
        : m_failedHosts(failedHosts) {}

    // A page joins the group (a page of it opened the page, or the page is
    // new); its documents can script the group's from their first moment.
    void Join(Member member);
    // A page is gone. What it loaded stays in the group's taint.
    void Leave(Member member);
    bool Empty() const { return m_members.empty(); }

    // A navigation request of a frame of `member` (its top frame when
    // `topFrame`), or a redirect of one. A top-frame navigation is pending
    // until TopLoadEnded; what the page loads meanwhile may belong to the
    // old document or the new one, and counts for both.
    void Navigation(Member member, const QUrl& url, bool topFrame);
    // The load of the top frame of `member` ended. When `replaced`, a new
    // document took the old one's place; otherwise (stopped, failed without
    // a page) either may be there, and both count.
    void TopLoadEnded(Member member, bool replaced);
    // A load of `member` came with a certificate error that was accepted:
    // no secure page of that host is trusted any more (FailedHosts).
    void CertificateError(Member member, const QUrl& url);
    // A request of `member` of any kind (documents, scripts, styles); one
    // to a host whose certificate failed earlier counts as insecure.
    void Request(Member member, const QUrl& url);

    // The group's taint: every document that could script one of its live
    // documents, and those among them that came with a certificate error.
    CefDocumentRecord Record() const;
    // The address of the top document of `member` as its last top-frame
    // load brought it (not what the history API says).
    QString TopAddress(Member member) const;

private:
    struct Pending {
        bool active = false;
        // Another member lived or joined while the navigation was pending.
        bool shared = false;
        // What the new document holds if nothing else could script it.
        CefDocumentRecord taint;
        QString top;
    };
    struct Page {
        QString top;
        Pending next;
    };
    void AddDocument(const QString& address);
    void AddInsecure(const QString& address);

    FailedHosts& m_failedHosts;
    CefDocumentRecord m_taint;
    std::map<Member, Page> m_members;
};

// Whether a document of this address is made from its creator's text
// (about:blank, about:srcdoc, data:, blob:, javascript:) and so counts as
// its creator's.
bool IsCreatorsDocument(const QUrl& url);

}  // namespace engine
