// Who may script whom in a group of pages: the ledger of documents against
// a reference model that applies the rule document by document, on any
// sequence of group events (open a window, navigate a top frame or a frame,
// end or stop a load, close a window, accept a certificate error, plant a
// script). Every three bytes are one event; after each, the ledger's
// documents and insecure addresses must equal the model's, and a group the
// rule trusts must carry no script of another site.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "DocumentGroupModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = walk::RunWalk(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
