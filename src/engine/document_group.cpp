#include "engine/document_group.h"

#include <QSet>

namespace engine {
namespace {

// Origins whose certificate failed and was accepted, for the life of the
// process.
QSet<QString>& InsecureOrigins() {
    static auto* origins = new QSet<QString>();
    return *origins;
}

QString OriginKey(const QUrl& url) {
    if (url.host().isEmpty())
        return QString();
    const QString scheme = url.scheme().toLower();
    const bool plain = scheme == QLatin1String("http") || scheme == QLatin1String("ws");
    return scheme + QLatin1String("://") + url.host().toLower() + QLatin1Char(':') +
           QString::number(url.port(plain ? 80 : 443));
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

void DocumentGroup::Join(Member member) {
    const CefDocumentRecord record = Record();
    Ledger& ledger = m_members[member];
    ledger.current = record.documents;
    ledger.insecure = record.insecure;
}

void DocumentGroup::Leave(Member member) {
    m_members.erase(member);
}

void DocumentGroup::AddDocument(const QString& address, Member except) {
    for (auto& [m, ledger] : m_members) {
        if (m == except)
            continue;
        AddOnce(ledger.current, address);
        if (ledger.pending)
            AddOnce(ledger.next, address);
    }
}

void DocumentGroup::AddInsecure(const QString& address) {
    for (auto& [m, ledger] : m_members) {
        AddOnce(ledger.insecure, address);
        if (ledger.pending)
            AddOnce(ledger.nextInsecure, address);
    }
}

void DocumentGroup::Navigation(Member member, const QUrl& url, bool topFrame) {
    auto it = m_members.find(member);
    if (it == m_members.end() || IsCreatorsDocument(url))
        return;
    const QString address = url.toString(QUrl::FullyEncoded);
    if (!topFrame) {
        AddDocument(address, nullptr);
        return;
    }
    Ledger& ledger = it->second;
    if (!ledger.pending) {
        ledger.pending = true;
        ledger.next.clear();
        ledger.nextInsecure.clear();
    }
    // The new document can script the others once it is there; for its own
    // page it replaces the old one only when its load ends.
    AddOnce(ledger.next, address);
    ledger.nextTop = address;
    AddDocument(address, member);
}

void DocumentGroup::TopLoadEnded(Member member, bool replaced) {
    auto it = m_members.find(member);
    if (it == m_members.end() || !it->second.pending)
        return;
    Ledger& ledger = it->second;
    ledger.pending = false;
    if (replaced) {
        ledger.current = std::exchange(ledger.next, {});
        ledger.insecure = std::exchange(ledger.nextInsecure, {});
        ledger.top = std::exchange(ledger.nextTop, {});
        return;
    }
    for (const QString& a : std::exchange(ledger.next, {}))
        AddOnce(ledger.current, a);
    for (const QString& a : std::exchange(ledger.nextInsecure, {}))
        AddOnce(ledger.insecure, a);
    ledger.nextTop.clear();
}

void DocumentGroup::CertificateError(Member member, const QUrl& url) {
    if (!m_members.count(member))
        return;
    const QString origin = OriginKey(url);
    if (!origin.isEmpty())
        InsecureOrigins().insert(origin);
    AddInsecure(url.toString(QUrl::FullyEncoded));
}

void DocumentGroup::Request(Member member, const QUrl& url) {
    if (!m_members.count(member) || InsecureOrigins().isEmpty())
        return;
    const QString origin = OriginKey(url);
    if (!origin.isEmpty() && InsecureOrigins().contains(origin))
        AddInsecure(url.toString(QUrl::FullyEncoded));
}

CefDocumentRecord DocumentGroup::Record() const {
    CefDocumentRecord record;
    for (const auto& [m, ledger] : m_members) {
        for (const QString& a : ledger.current)
            AddOnce(record.documents, a);
        for (const QString& a : ledger.insecure)
            AddOnce(record.insecure, a);
        if (!ledger.pending)
            continue;
        for (const QString& a : ledger.next)
            AddOnce(record.documents, a);
        for (const QString& a : ledger.nextInsecure)
            AddOnce(record.insecure, a);
    }
    for (const QString& a : record.documents) {
        const QString origin = OriginKey(QUrl(a));
        if (!origin.isEmpty() && InsecureOrigins().contains(origin))
            AddOnce(record.insecure, a);
    }
    return record;
}

QString DocumentGroup::TopAddress(Member member) const {
    auto it = m_members.find(member);
    return it == m_members.end() ? QString() : it->second.top;
}

}  // namespace engine
