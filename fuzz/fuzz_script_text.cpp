// A packet handed to a page arrives as exactly its text. The input, taken as
// UTF-16 code units (so that unpaired surrogates and every control character
// occur), becomes a packet; the script that hands it to a page is evaluated
// in a real JavaScript engine, where JSRecv records its arguments. The run
// stops when the script does not parse or throws, when JSRecv was not called
// exactly once with one argument, or when that argument is not the packet's
// text: any of these means the text left the string literal.
#include <sanitizer/lsan_interface.h>
#include <QCoreApplication>
#include <QJSEngine>
#include <QJSValue>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "packet/Packet.h"
#include "packet/ScriptCall.h"

namespace {

// Stops the run with the reason; libFuzzer keeps the input as a crash.
void Require(bool ok, const char* what, const QString& detail = QString()) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_script_text: broken: %s %s\n", what,
                     detail.toUtf8().constData());
        std::abort();
    }
}

// The JavaScript engine keeps its objects in memory of its own, which the leak
// checker does not scan: what they hold would count as leaked. Leaks are
// looked for in this program's code, not in the engine's, so the engine's
// allocations are left out while it runs.
struct EngineAllocations {
    EngineAllocations() { __lsan_disable(); }
    ~EngineAllocations() { __lsan_enable(); }
    EngineAllocations(const EngineAllocations&) = delete;
    EngineAllocations& operator=(const EngineAllocations&) = delete;
};

// One engine for the whole run: making one costs far more than a script.
struct Engine {
    QJSEngine js;
    // Makes a JSRecv that records into the array it is given. The array is
    // reachable only through that function, so a script that escaped the
    // literal could not tidy up after itself.
    QJSValue makeRecorder;

    Engine()
        : makeRecorder(js.evaluate(QStringLiteral(
              "(function (calls) {"
              "  return function () {"
              "    calls[calls.length] = {count: arguments.length, text: arguments[0]};"
              "  };"
              "})"))) {
        Require(makeRecorder.isCallable(), "the recorder does not compile",
                makeRecorder.toString());
    }
};

Engine* TheEngine() {
    static Engine* engine = [] {
        const EngineAllocations engineAllocations;
        return new Engine;
    }();
    return engine;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // A QJSEngine needs an application object to exist first.
    static QCoreApplication app(*argc, *argv);
    TheEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, size / 2 * sizeof(QChar));
    const CPacket packet(CPacket::Verbatim{text});

    const QString script = ScriptCallOf(packet);

    Engine& engine = *TheEngine();
    const EngineAllocations engineAllocations;
    QJSValue calls = engine.js.newArray();
    // Installed afresh for each input: nothing an earlier input's script did
    // to the global object decides this one.
    engine.js.globalObject().setProperty(QStringLiteral("JSRecv"),
                                         engine.makeRecorder.call({calls}));

    const QJSValue result = engine.js.evaluate(script);
    Require(!result.isError() && !engine.js.hasError(),
            "the script does not parse or it threw:", result.toString());
    Require(calls.property(QStringLiteral("length")).toInt() == 1,
            "JSRecv was not called exactly once");
    const QJSValue call = calls.property(0);
    Require(call.property(QStringLiteral("count")).toInt() == 1,
            "JSRecv did not get exactly one argument");
    const QJSValue received = call.property(QStringLiteral("text"));
    Require(received.isString(), "JSRecv's argument is not a string");
    Require(received.toString() == packet.GetText(), "the page got another text than the packet's");
    return 0;
}
