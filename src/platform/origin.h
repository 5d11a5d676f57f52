// What an address's origin is, as the browser compares documents by it, and
// the lists of origins that a settings file writes.
//
// Threading: any thread.
#pragma once

#include <QStringList>

namespace platform {

// The origin of `address`, "scheme://host" with ":port" when the port is
// not the scheme's default (80 for http and ws, 443 for https and wss), the
// scheme and the fully encoded host in lower case, an IPv6 host in
// brackets. The address is read strictly and as given (no blanks trimmed);
// empty for one that does not read so, or that has no scheme or no host, or
// is a file address.
QString AddressOrigin(const QString& address);

// Whether `address`, read strictly, names the file scheme (in any case).
bool IsFileAddress(const QString& address);

// The entries of a list written with blanks (ASCII white space: spaces,
// tabs, line breaks) or commas between them, empty entries left out.
QStringList SplitAtBlanksAndCommas(const QString& text);

}  // namespace platform
