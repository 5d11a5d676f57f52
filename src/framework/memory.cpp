// Memory that closed windows leave behind, given back to the system.
#include <QTimer>

#include "framework/internal.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace framework {

namespace {
// Long enough for a burst of closes, and for the deferred deletions of the
// windows' widgets and browsers, to be over.
constexpr int kAfterLastCloseMs = 2000;
}  // namespace

// A window with a browser allocates many buffers of a few megabytes; the C
// library keeps what they free in its heaps for reuse, and after a burst of
// windows that was most of a gigabyte the process never gave back. Trimming
// once the closes are over returns it; one trim a burst costs milliseconds.
void ReturnFreedMemorySoon() {
#if defined(__GLIBC__)
    static QTimer* timer = [] {
        auto* t = new QTimer();
        t->setSingleShot(true);
        t->setInterval(kAfterLastCloseMs);
        QObject::connect(t, &QTimer::timeout, [] { malloc_trim(0); });
        return t;
    }();
    timer->start();
#endif
}

}  // namespace framework
