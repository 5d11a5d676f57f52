#include "engine/channel_object.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace engine {

CefV8ValueList DecodeArguments(const QString& payload) {
    CefV8ValueList args;
    const QJsonDocument doc = QJsonDocument::fromJson(payload.toUtf8());
    if (!doc.isArray())
        return args;
    for (const auto& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString t = o.value(QLatin1String("t")).toString();
        if (t == QLatin1String("string")) {
            args.push_back(CefV8Value::CreateString(o.value(QLatin1String("s")).toString()));
        } else if (t == QLatin1String("undefined")) {
            args.push_back(CefV8Value::CreateUndefined());
        } else if (t == QLatin1String("null")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kNull));
        } else if (t == QLatin1String("boolean")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kBool));
        } else if (t == QLatin1String("number") || t == QLatin1String("bigint")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kNumber));
        } else if (t == QLatin1String("function")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kFunction));
        } else if (t == QLatin1String("array")) {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kArray));
        } else {
            args.push_back(CefV8Value::CreateOfType(CefV8Value::kObject));
        }
    }
    return args;
}

void ChannelObject::call(const QString& name, const QString& payload) {
    if (!m_browser)
        return;
    CallNativeFunction(m_browser, name, DecodeArguments(payload));
}

}  // namespace engine
