// The browser end of the script bridge: one object per page, reached by the
// page's stubs through the web channel.
#pragma once

#include <QObject>

#include "engine/cef_browser.h"
#include "engine/cef_v8.h"

namespace engine {

// Decodes the typed argument list a stub sends: [{"t": type, "s": text}].
CefV8ValueList DecodeArguments(const QString& payload);

class ChannelObject : public QObject {
    Q_OBJECT
public:
    explicit ChannelObject(QObject* parent = nullptr) : QObject(parent) {}
    void SetBrowser(CefBrowser* browser) { m_browser = browser; }

public slots:
    // One call of a native function from a page, in call order.
    void call(const QString& name, const QString& payload);

private:
    CefBrowser* m_browser = nullptr;  // owns this object's page; outlives it
};

}  // namespace engine
