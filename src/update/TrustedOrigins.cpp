#include "update/TrustedOrigins.h"

#include "platform/address.h"
#include "shared/Service.h"
#include "shared/Settings.h"
#include "shared/ShellApp.h"

namespace {

// A trusted origin's document, or a file under the program's own directory.
bool IsTrustedAddress(const QString& address, const QStringList& origins) {
    if (platform::IsFileAddress(address))
        return platform::IsFileAddressUnder(address, GetExeDir());
    const QString origin = OriginOf(address);
    return !origin.isEmpty() && origins.contains(origin);
}

}  // namespace

QString OriginOf(const QString& address) {
    return platform::AddressOrigin(address);
}

QStringList TrustedOrigins() {
    QStringList origins;
    for (const QString& address : {ContentBaseUrl(), LoginUrl()}) {
        const QString origin = OriginOf(address);
        if (!origin.isEmpty() && !origins.contains(origin))
            origins << origin;
    }
    for (const QString& entry : platform::SplitAtBlanksAndCommas(TrustedOriginsSetting())) {
        const QString origin = OriginOf(entry);
        if (!origin.isEmpty() && !origins.contains(origin))
            origins << origin;
    }
    return origins;
}

bool IsTrustedSender(const PacketSource& source, QString* reason) {
    if (source.documents.isEmpty()) {
        *reason = QStringLiteral("its sender is not known");
        return false;
    }
    if (!source.insecure.isEmpty()) {
        *reason = QStringLiteral("%1 in the page %2 came with a certificate error")
                      .arg(source.insecure.first(), source.pageUrl);
        return false;
    }
    const QStringList origins = TrustedOrigins();
    for (const QString& document : source.documents) {
        if (!IsTrustedAddress(document, origins)) {
            *reason =
                document == source.pageUrl
                    ? QStringLiteral("the page %1 is not one of the service's pages").arg(document)
                    : QStringLiteral(
                          "%1, loaded with the page %2, is not one of the "
                          "service's pages")
                          .arg(document, source.pageUrl);
            return false;
        }
    }
    return true;
}
