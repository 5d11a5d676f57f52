// Questions about files on disk that the system asks of addresses.
//
// Threading: any thread.
#pragma once

#include <QString>

namespace platform {

// Whether `address` is a local file address (read strictly, no host) whose
// file exists and lies under the existing `directory`, both with links
// resolved, so that neither ".." nor a link can lead out of it.
bool IsFileAddressUnder(const QString& address, const QString& directory);

}  // namespace platform
