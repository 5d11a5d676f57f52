// Which addresses handed in from outside (a link, a later start, a page's
// command) the program opens: web addresses only.
//
// Threading: any thread.
#pragma once

#include <QString>

namespace platform {

// Whether `address` is a web address: its scheme is http or https (in any
// case), or it has none, so that the program puts it behind the service's
// own address. It is read as browsers read addresses: tabs and line breaks
// anywhere are dropped, and blanks, control and format characters in front
// are skipped ("java\tscript:" and " javascript:" are script addresses).
// Refused: every other scheme (file, data, javascript, blob, about, ...);
// a colon before the first "/", "?" or "#", which names a scheme even where
// it is not a well-formed one; and an address that begins with two slashes
// or backslashes, which names another host.
bool IsWebAddress(const QString& address);

// IsWebAddress; a refused address is named on standard error, one line:
// "address refused: <address> is not a web address", its control
// characters written as \uXXXX so that the line stays one line.
bool AcceptWebAddress(const QString& address);

}  // namespace platform
