// A reference model of who can script whom in a group of pages, and a walk
// that drives the ledger (engine/document_group.h) and the model with the
// same random sequence of group events, comparing them after every step.
//
// The model applies the rule literally, document by document: two live
// documents of the group can script each other, except the old and the new
// document of one window (the old is gone when the new one is there); what
// could script a document could script, through it, whatever it can script
// later. A document's set only grows and dies with it. Nothing in it knows
// of the ledger's shortcut (one taint for the group).
//
// Used by the unit tests (fixed seeds) and by a fuzz target (its bytes).
#pragma once

#include <QSet>
#include <QUrl>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/document_group.h"

namespace walk {

struct Doc {
    int window = 0;
    int gen = 0;
    bool alive = true;
    QSet<QString> addresses;  // empty: made from its creator's text
    QSet<QString> insecure;   // what it loaded with a failed certificate
    std::set<int> could;      // documents that could script it (itself too)
    QSet<QString> carries;    // whose script is really in it (planted)
};

struct Window {
    bool alive = true;
    int gen = 0;
    bool pending = false;
    int next = -1;  // the new top document while pending
};

class Model {
public:
    std::vector<Doc> docs;
    std::vector<Window> windows;
    QSet<QString> failedHosts;

    int Open(int opener) {
        windows.push_back({});
        const int w = int(windows.size()) - 1;
        // The new window's first document (about:blank) is its opener's text.
        NewDoc(w, 0, {}, CarriedBy(opener, windows[opener].gen));
        return w;
    }
    void TopNavigation(int w, const QString& a) {
        Window& win = windows[w];
        if (win.pending) {
            // A redirect: the same document, another hop.
            docs[win.next].addresses << a;
            docs[win.next].carries << a;
            return;
        }
        win.pending = true;
        win.next = int(docs.size());
        NewDoc(w, win.gen + 1, a, {});
    }
    void Frame(int w, const QString& a) {
        const bool creators = engine::IsCreatorsDocument(QUrl(a));
        // While the top navigates, the frame may be the old document's or
        // the new one's: both.
        for (int gen : GensOf(w))
            NewDoc(w, gen, creators ? QString() : a,
                   creators ? CarriedBy(w, gen) : QSet<QString>());
    }
    void LoadEnded(int w, bool replaced) {
        Window& win = windows[w];
        if (!win.pending)
            return;
        win.pending = false;
        for (Doc& d : docs) {
            if (!d.alive || d.window != w)
                continue;
            if (replaced && d.gen == win.gen)
                d.alive = false;
            d.gen = win.gen + 1;  // stopped: either may be there, as one
        }
        win.gen += 1;
    }
    void Close(int w) {
        windows[w].alive = false;
        for (Doc& d : docs) {
            if (d.window == w)
                d.alive = false;
        }
    }
    void Insecure(int w, const QString& a) {
        for (Doc& d : docs) {
            if (d.alive && d.window == w)
                d.insecure << a;
        }
    }
    void CertificateError(int w, const QString& a) {
        const QUrl url(a);
        if (url.scheme() == "https")
            failedHosts << url.host();
        Insecure(w, a);
    }
    void Request(int w, const QString& a) {
        if (Failed(a))
            Insecure(w, a);
    }
    // The `pick`th live document of `from` writes a script into the
    // `pick`th of `to`, where it can.
    void Plant(int from, int to, int pick) {
        const int a = DocOf(from, pick), b = DocOf(to, pick / 3);
        if (a >= 0 && b >= 0 && Linked(docs[a], docs[b]))
            docs[b].carries |= docs[a].carries;
    }

    // Every document that can script another now passes on what could
    // script it, until nothing changes.
    void Settle() {
        for (bool changed = true; changed;) {
            changed = false;
            for (Doc& a : docs) {
                for (Doc& b : docs) {
                    if (&a == &b || !a.alive || !b.alive || !Linked(a, b))
                        continue;
                    const std::size_t n = a.could.size();
                    a.could.insert(b.could.begin(), b.could.end());
                    changed = changed || a.could.size() != n;
                }
            }
        }
    }

    // What the group's live documents could be scripted by.
    CefDocumentRecord Record() const {
        QSet<QString> documents, insecure;
        for (const Doc& d : docs) {
            if (!d.alive)
                continue;
            for (int i : d.could) {
                documents |= docs[i].addresses;
                insecure |= docs[i].insecure;
            }
        }
        for (const QString& a : documents) {
            if (Failed(a))
                insecure << a;
        }
        return {documents.values(), insecure.values()};
    }

    bool Failed(const QString& a) const {
        const QUrl url(a);
        return url.scheme() == "https" && failedHosts.contains(url.host());
    }
    QSet<QString> CarriedByLive() const {
        QSet<QString> all;
        for (const Doc& d : docs) {
            if (d.alive)
                all |= d.carries;
        }
        return all;
    }

private:
    static bool Linked(const Doc& a, const Doc& b) {
        return a.window != b.window || a.gen == b.gen;
    }
    std::vector<int> GensOf(int w) const {
        const Window& win = windows[w];
        return win.pending ? std::vector<int>{win.gen, win.gen + 1} : std::vector<int>{win.gen};
    }
    QSet<QString> CarriedBy(int w, int gen) const {
        QSet<QString> all;
        for (const Doc& d : docs) {
            if (d.alive && d.window == w && d.gen == gen)
                all |= d.carries;
        }
        return all;
    }
    int DocOf(int w, int pick) const {
        std::vector<int> mine;
        for (int i = 0; i < int(docs.size()); ++i) {
            if (docs[i].alive && docs[i].window == w)
                mine.push_back(i);
        }
        return mine.empty() ? -1 : mine[pick % mine.size()];
    }
    void NewDoc(int w, int gen, const QString& a, const QSet<QString>& creators) {
        Doc d;
        d.window = w;
        d.gen = gen;
        if (!a.isEmpty())
            d.addresses << a;
        d.could.insert(int(docs.size()));
        d.carries = d.addresses | creators;
        docs.push_back(d);
    }
};

// Addresses the walk uses: the service on two ports of its host, another
// site, and texts a creator writes.
inline const std::array<const char*, 7> kAddresses = {
    "https://svc.test/a",     "https://svc.test:8443/b", "http://svc.test/c",
    "https://evil.test/x",    "http://evil.test/y",      "about:blank",
    "data:text/html,planted",
};
inline bool IsTrustedAddress(const QString& a) {
    const QUrl url(a);
    return url.host() == "svc.test";
}

// Runs one sequence given as bytes; returns "" or what went wrong.
inline std::string RunWalk(const std::uint8_t* data, std::size_t size) {
    constexpr int kMaxWindows = 6;
    engine::FailedHosts hosts;
    engine::DocumentGroup group(hosts);
    Model model;
    std::array<int, kMaxWindows> keys{};
    auto key = [&](int w) { return static_cast<engine::DocumentGroup::Member>(&keys[w]); };
    model.windows.push_back({});
    model.docs.push_back({});
    model.docs[0].could = {0};
    group.Join(key(0));
    std::string trace;
    for (std::size_t i = 0; i + 2 < size; i += 3) {
        std::vector<int> live;
        for (int w = 0; w < int(model.windows.size()); ++w) {
            if (model.windows[w].alive)
                live.push_back(w);
        }
        if (live.empty())
            break;
        const int w = live[data[i + 1] % live.size()];
        const int other = live[data[i + 2] / 7 % live.size()];
        const QString a = kAddresses[data[i + 2] % kAddresses.size()];
        const bool web = !engine::IsCreatorsDocument(QUrl(a));
        const int op = data[i] % 9;
        static const char* const kNames[] = {"open",  "top",         "frame",   "loaded", "stopped",
                                             "close", "certificate", "request", "plant"};
        trace += std::string(kNames[op]) + " " + std::to_string(w) + "<" + std::to_string(other) +
                 " " + a.toStdString() + "; ";
        if (op == 0 && web && int(model.windows.size()) < kMaxWindows) {
            const int n = model.Open(w);
            group.Join(key(n));
            model.TopNavigation(n, a);
            group.Navigation(key(n), QUrl(a), true);
        } else if (op == 1 && web) {
            model.TopNavigation(w, a);
            group.Navigation(key(w), QUrl(a), true);
        } else if (op == 2) {
            model.Frame(w, a);
            group.Navigation(key(w), QUrl(a), false);
        } else if (op == 3 || op == 4) {
            model.LoadEnded(w, op == 3);
            group.TopLoadEnded(key(w), op == 3);
        } else if (op == 5) {
            model.Close(w);
            group.Leave(key(w));
        } else if (op == 6 && web) {
            model.CertificateError(w, a);
            group.CertificateError(key(w), QUrl(a));
        } else if (op == 7) {
            model.Request(w, a);
            group.Request(key(w), QUrl(a));
        } else if (op == 8) {
            model.Plant(other, w, data[i + 2]);
        }
        if (group.Empty())
            break;  // nothing is left to ask
        model.Settle();
        const CefDocumentRecord want = model.Record();
        const CefDocumentRecord got = group.Record();
        const auto set = [](const QStringList& l) { return QSet<QString>(l.begin(), l.end()); };
        const auto text = [](const CefDocumentRecord& r) {
            return (r.documents.join(' ') + " | " + r.insecure.join(' ')).toStdString();
        };
        if (set(got.documents) != set(want.documents) || set(got.insecure) != set(want.insecure))
            return "differ after: " + trace + "\n  ledger: " + text(got) +
                   "\n  model: " + text(want);
        // What the rule trusts carries no script of another site.
        bool trusted = !got.documents.isEmpty() && got.insecure.isEmpty();
        for (const QString& d : got.documents)
            trusted = trusted && IsTrustedAddress(d);
        for (const QString& c : model.CarriedByLive()) {
            if (trusted && !IsTrustedAddress(c))
                return "a trusted group carries a script of " + c.toStdString() +
                       " after: " + trace;
        }
    }
    return {};
}

}  // namespace walk
