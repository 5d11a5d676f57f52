// Shell services: opening an address in the user's default browser, the
// URL opener port.
//
// Threading: user-interface thread.
#pragma once

#include <QUrl>

#include "framework/afxtypes.h"

// Opens `file` with the verb "open". Only web addresses (http and https)
// are opened, in the user's default browser (the URL opener port): a page
// can hand any text here, and on a desktop "open" would also start local
// files and programs. Returns a value greater than 32 on success, as the
// Windows call does, and 2 (file not found) for anything refused.
std::intptr_t ShellExecuteW(HWND owner, const CString& verb, const CString& file,
                            const CString& parameters, const CString& directory, int show);

namespace platform {

// Opens a web address (already checked to be http or https) in the user's
// default browser; false when it could not be handed over.
class UrlOpenerPort {
public:
    virtual ~UrlOpenerPort() = default;
    virtual bool Open(const QUrl& url) = 0;
};

// The real port: the desktop's own choice of browser, through xdg-open.
UrlOpenerPort& RealUrlOpener();
// The port in use (installed by ports.h).
UrlOpenerPort& UrlOpenerInUse();

}  // namespace platform
