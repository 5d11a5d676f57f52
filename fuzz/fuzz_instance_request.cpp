// The hand-off message of a later start, as the running instance reads it
// from its channel: any bytes, arriving in any pieces.
//
// What must hold: a request that is not yet whole takes nothing off the
// buffer; the requests read, and whether the stream is refused, do not
// depend on how it was cut into pieces; and a request read, encoded again,
// reads back as the same request and nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/instance.h"

namespace {

using platform::DecodeInstanceRequest;
using platform::DecodeResult;
using platform::EncodeInstanceRequest;
using platform::InstanceRequest;

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_instance_request: broken: %s\n", what);
        std::abort();
    }
}

bool Same(const InstanceRequest& a, const InstanceRequest& b) {
    return a.kind == b.kind && a.text == b.text && a.activationToken == b.activationToken &&
           a.startupId == b.startupId;
}

void CheckRoundTrip(const InstanceRequest& request) {
    const QByteArray encoded = EncodeInstanceRequest(request);
    QByteArray buffer = encoded;
    InstanceRequest again;
    Require(DecodeInstanceRequest(buffer, &again) == DecodeResult::kComplete,
            "an encoded request does not read back");
    Require(buffer.isEmpty(), "reading an encoded request left bytes behind");
    Require(Same(again, request), "an encoded request reads back as another");
}

struct Outcome {
    std::vector<InstanceRequest> requests;
    bool refused = false;
};

// Reads what has arrived in `buffer`, as the channel does after each piece.
void ReadArrived(QByteArray& buffer, Outcome& out) {
    while (!out.refused) {
        const QByteArray before = buffer;
        InstanceRequest request;
        switch (DecodeInstanceRequest(buffer, &request)) {
            case DecodeResult::kComplete:
                Require(buffer.size() < before.size(), "a request was read from no bytes");
                Require(before.endsWith(buffer), "a request was not taken off the front");
                CheckRoundTrip(request);
                out.requests.push_back(request);
                break;
            case DecodeResult::kIncomplete:
                Require(buffer == before, "an incomplete request changed the buffer");
                return;
            case DecodeResult::kRefused:
                out.refused = true;
                return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // The piece sizes come from the input's end, the stream from its front.
    std::vector<size_t> cuts;
    const size_t pieces = in.ConsumeIntegralInRange<size_t>(0, 16);
    for (size_t i = 0; i < pieces; ++i) {
        cuts.push_back(in.ConsumeIntegralInRange<size_t>(0, 64));
    }
    const std::vector<uint8_t> stream = in.ConsumeRemainingBytes<uint8_t>();
    const auto* bytes = reinterpret_cast<const char*>(stream.data());
    const auto total = static_cast<qsizetype>(stream.size());

    Outcome whole;
    QByteArray all(bytes, total);
    ReadArrived(all, whole);

    Outcome pieced;
    QByteArray buffer;
    qsizetype at = 0;
    for (size_t i = 0; at < total && !pieced.refused; ++i) {
        // After the chosen sizes, the rest comes in one piece.
        const qsizetype n = i < cuts.size() ? std::min<qsizetype>(cuts[i], total - at) : total - at;
        buffer.append(bytes + at, n);
        at += n;
        ReadArrived(buffer, pieced);
    }

    Require(whole.refused == pieced.refused, "refusal depends on the pieces");
    Require(whole.requests.size() == pieced.requests.size(),
            "the number of requests depends on the pieces");
    for (size_t i = 0; i < whole.requests.size(); ++i) {
        Require(Same(whole.requests[i], pieced.requests[i]), "a request depends on the pieces");
    }
    return 0;
}
