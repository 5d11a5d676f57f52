// The fields that many windows read and write, named once, and the
// conversions between them and the types the windows hold: a rectangle as
// the four fields XX, YY, WW, HH (left, top, width, height), in a packet
// and in a profile section, and the clamp that keeps wide arithmetic on
// values from pages within an int.
//
// Threading: as the packet's own operations.
#pragma once

#include <QString>

#include "framework/afxtypes.h"

class CPacket;
class CWinApp;

namespace field {
inline const QString kLeft = QStringLiteral("XX");
inline const QString kTop = QStringLiteral("YY");
inline const QString kWidth = QStringLiteral("WW");
inline const QString kHeight = QStringLiteral("HH");
}  // namespace field

// The text of a packet without fields: the settings of a window created
// without a packet, every value read at its default.
inline const QString kEmptyPacketText = QStringLiteral("<PKT></PKT>");

// `v` held within the range of int: sums of values from pages are computed
// wide and come back through this.
int ClampToInt(long long v);

// The rectangle the packet's XX, YY, WW, HH give, each field that is
// missing taken from `defaults`.
RECT RectFromFields(CPacket& packet, const RECT& defaults);
// Sets XX, YY, WW, HH to `r`'s left, top, width and height.
void SetRectFields(CPacket& packet, const RECT& r);
// Writes `r` as XX, YY, WW, HH to the profile section `section`.
void WriteRectToProfile(CWinApp& app, const QString& section, const RECT& r);
