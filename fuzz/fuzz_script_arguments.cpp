// The engine's reading of the typed argument list a page's stub sends with
// a native call, on any text.
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/channel_object.h"

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_script_arguments: broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString payload =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CefV8ValueList args = engine::DecodeArguments(payload);
    // A list of n values needs n - 1 commas between them; not a list gives none.
    Require(args.empty() || static_cast<qsizetype>(args.size()) <= payload.count(u',') + 1,
            "more arguments than the list has room for");
    for (const auto& arg : args) {
        Require(arg != nullptr, "an argument without a value");
        if (arg->IsString()) {
            // The type may be spelt with escapes: "\u0073tring", and the
            // toolkit's reader also takes an unknown escape such as "\i" as "i".
            Require(payload.contains(QLatin1String("string")) || payload.contains(u'\\'),
                    "a string argument from a list that names no string");
        } else {
            Require(arg->GetStringValue().isEmpty(), "a text on an argument that is no string");
        }
    }
    return 0;
}
