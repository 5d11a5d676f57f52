// The rules about addresses: which addresses handed in from outside (a
// link, a later start, a page's command) the program opens (web addresses
// only), what an address's origin is as the browser compares documents by
// it, the lists of origins that a settings file writes, and which file
// addresses lie under a directory.
//
// Threading: any thread.
#pragma once

#include <QString>
#include <QStringList>

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

// Whether `address` is a local file address (read strictly, no host) whose
// file exists and lies under the existing `directory`, both with links
// resolved, so that neither ".." nor a link can lead out of it.
bool IsFileAddressUnder(const QString& address, const QString& directory);

}  // namespace platform
