#include "engine/document_group.h"

namespace engine {
namespace {

bool IsSecureScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("wss");
}

// A page that loads documents without end (frames made in a loop) keeps
// a ledger of bounded size: past the bound, one address that no rule
// trusts stands for the rest.
constexpr qsizetype kMaxAddresses = 256;
const QString kTooMany = QStringLiteral("about:too-many-documents");

void AddOnce(QStringList& list, const QString& s) {
    if (list.contains(s))
        return;
    if (list.size() >= kMaxAddresses) {
        if (!list.contains(kTooMany))
            list << kTooMany;
        return;
    }
    list << s;
}

}  // namespace

bool IsCreatorsDocument(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("about") || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob") || scheme == QLatin1String("javascript");
}

void FailedHosts::Add(const QUrl& url) {
    if (IsSecureScheme(url) && !url.host().isEmpty())
        m_hosts.insert(url.host().toLower());
}

bool FailedHosts::Contains(const QUrl& url) const {
    return !m_hosts.isEmpty() && IsSecureScheme(url) && m_hosts.contains(url.host().toLower());
}

FailedHosts& ProcessFailedHosts() {
    static auto* hosts = new FailedHosts();
    return *hosts;
}

void DocumentGroup::Join(Member member) {
    // Whatever joins can script a new document that is on its way.
    for (auto& [m, page] : m_members)
        page.next.shared = page.next.shared || page.next.active;
    m_members.try_emplace(member);
}

void DocumentGroup::Leave(Member member) {
    m_members.erase(member);
}

void DocumentGroup::AddDocument(const QString& address) {
    AddOnce(m_taint.documents, address);
    for (auto& [m, page] : m_members) {
        if (page.next.active)
            AddOnce(page.next.taint.documents, address);
    }
}

void DocumentGroup::AddInsecure(const QString& address) {
    AddOnce(m_taint.insecure, address);
    for (auto& [m, page] : m_members) {
        if (page.next.active)
            AddOnce(page.next.taint.insecure, address);
    }
}

void DocumentGroup::Navigation(Member member, const QUrl& url, bool topFrame) {
    auto it = m_members.find(member);
    if (it == m_members.end() || IsCreatorsDocument(url))
        return;
    const QString address = url.toString(QUrl::FullyEncoded);
    if (topFrame) {
        Pending& next = it->second.next;
        if (!next.active)
            next = Pending{true, m_members.size() > 1, {}, {}};
        next.top = address;
    }
    // Every document, once there, can script all the others.
    AddDocument(address);
}

void DocumentGroup::TopLoadEnded(Member member, bool replaced) {
    auto it = m_members.find(member);
    if (it == m_members.end() || !it->second.next.active)
        return;
    Page& page = it->second;
    Pending next = std::exchange(page.next, {});
    if (!replaced)
        return;
    page.top = next.top;
    // Alone from the first to the last moment of its way here, the new
    // document could be scripted only by what it brought itself.
    if (!next.shared)
        m_taint = std::move(next.taint);
}

void DocumentGroup::CertificateError(Member member, const QUrl& url) {
    if (!m_members.count(member))
        return;
    m_failedHosts.Add(url);
    AddInsecure(url.toString(QUrl::FullyEncoded));
}

void DocumentGroup::Request(Member member, const QUrl& url) {
    if (m_members.count(member) && m_failedHosts.Contains(url))
        AddInsecure(url.toString(QUrl::FullyEncoded));
}

CefDocumentRecord DocumentGroup::Record() const {
    CefDocumentRecord record = m_taint;
    // A host may fail after its documents were counted.
    for (const QString& a : record.documents) {
        if (m_failedHosts.Contains(QUrl(a)))
            AddOnce(record.insecure, a);
    }
    return record;
}

QString DocumentGroup::TopAddress(Member member) const {
    auto it = m_members.find(member);
    return it == m_members.end() ? QString() : it->second.top;
}

}  // namespace engine
