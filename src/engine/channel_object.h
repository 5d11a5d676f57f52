// The browser end of the script bridge: one object per page, reached by the
// page's stubs through the web channel.
#pragma once

#include <QJsonArray>
#include <QObject>

#include "engine/cef_browser.h"
#include "engine/cef_v8.h"

namespace engine {

// Decodes the typed argument list a stub sends: [{"t": type, "s": text}].
CefV8ValueList DecodeArguments(const QString& payload);

class QtBrowser;

class ChannelObject : public QObject {
    Q_OBJECT
public:
    explicit ChannelObject(QObject* parent = nullptr) : QObject(parent) {}
    void SetBrowser(QtBrowser* browser) { m_browser = browser; }

public slots:
    // Calls of native functions from a page, in call order: an array of
    // [name, payload, relayedFrom]. The top frame makes its own calls with
    // an empty `relayedFrom`; for a call that a frame below it relayed, it
    // gives the origin the relayed message came from, as the engine
    // reported it to the top frame. An entry of another shape is skipped.
    void callBatch(const QJsonArray& calls);

private:
    QtBrowser* m_browser = nullptr;  // owns this object's page; outlives it
};

}  // namespace engine
