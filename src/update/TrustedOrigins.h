// Which pages may have local programs started: the service's own.
#pragma once

#include <QStringList>

#include "packet/Packet.h"

// The origin of an address, "scheme://host" with ":port" when the port is
// not the scheme's default, the scheme and host in lower case; empty for an
// address without one (an opaque origin such as "null", a file address).
QString OriginOf(const QString& url);

// The origins of the service: those of the content server's base address
// and of the login page, and those listed in the settings file's "APP" key
// TRUSTEDORIGINS (separated by blanks or commas).
QStringList TrustedOrigins();

// Whether the packet's sender is a page of the service: every document of
// its page and of the windows of its group came from a trusted origin (or
// is a file under the program's own directory), none with a certificate
// error. With web security off any document of a group can script the
// others, so one foreign document is enough to refuse. Otherwise `reason`
// says why not.
bool IsTrustedSender(const PacketSource& source, QString* reason);
