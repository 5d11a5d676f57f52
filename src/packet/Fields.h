// Every packet field the system reads or writes, named once, and the
// conversions between fields and the types the windows hold: the kind and
// the command of a packet, a rectangle as the four fields XX, YY, WW, HH
// (left, top, width, height) in a packet and in a profile section, and the
// clamp that keeps wide arithmetic on values from pages within an int.
// Nothing else writes a field's name.
//
// Threading: as the packet's own operations.
#pragma once

#include <QString>

#include "framework/afxtypes.h"

class CPacket;
class CWinApp;

namespace field {
// The packet's root element. A field of this name would take the whole
// packet with it.
inline const QString kRoot = QStringLiteral("PKT");

// Every packet: its kind (GBN_* in Vocabulary.h), and of a command packet
// the command (CMD_*). Read through PacketKind and PacketCommand.
inline const QString kKind = QStringLiteral("GBN");
inline const QString kCommand = QStringLiteral("CMD");

// A rectangle: a window's placement asked for or reported, and a saved
// window's place in its profile section.
inline const QString kLeft = QStringLiteral("XX");
inline const QString kTop = QStringLiteral("YY");
inline const QString kWidth = QStringLiteral("WW");
inline const QString kHeight = QStringLiteral("HH");

// A window's creation packet and the requests that open or retarget one.
inline const QString kTitle = QStringLiteral("DLGTIT");
inline const QString kWindowKind = QStringLiteral("TP");  // TP_* in Vocabulary.h
inline const QString kUrl = QStringLiteral("URL");
inline const QString kMinTrackWidth = QStringLiteral("LMIW");
inline const QString kMinTrackHeight = QStringLiteral("LMIH");
// 1 (the default): the window draws its own caption; otherwise the native one.
inline const QString kHeader = QStringLiteral("HDR");
inline const QString kBorderColor = QStringLiteral("BORDERCOLOR");
inline const QString kGapX = QStringLiteral("XGAP");
inline const QString kGapY = QStringLiteral("YGAP");
// A popup's appearance: how it comes in, in how many steps, and how many
// seconds it stays.
inline const QString kAnimation = QStringLiteral("ANIM");
inline const QString kAnimationSteps = QStringLiteral("ANIM_TIME");
inline const QString kCloseSeconds = QStringLiteral("CLOSESEC");

// Commands' own fields: the opacity percent or whether to follow the
// owner (V), hiding or ending (HIDE), a placement query (CALL) and the
// corner window a placement's missing fields default to (LOGOUT), the zoom
// (AUTOSCALE, SCALE), a balloon's text (MSG), and the address a start hands
// to a chat page (URI, a launch parameter too).
inline const QString kValue = QStringLiteral("V");
inline const QString kHide = QStringLiteral("HIDE");
inline const QString kCall = QStringLiteral("CALL");
inline const QString kLogout = QStringLiteral("LOGOUT");
inline const QString kAutoScale = QStringLiteral("AUTOSCALE");
inline const QString kScale = QStringLiteral("SCALE");
inline const QString kMessage = QStringLiteral("MSG");
inline const QString kUri = QStringLiteral("URI");
// The answer to a placement query: the frame metrics beside the rectangle.
inline const QString kCaptionHeight = QStringLiteral("CYCAPTION");
inline const QString kFrameWidth = QStringLiteral("CXFRAME");
inline const QString kFrameHeight = QStringLiteral("CYFRAME");
inline const QString kBorderWidth = QStringLiteral("CXBORDER");
inline const QString kBorderHeight = QStringLiteral("CYBORDER");

// Load events (with kUrl for a failed load).
inline const QString kLoading = QStringLiteral("LOADING");
inline const QString kCanGoBack = QStringLiteral("BACK");
inline const QString kCanGoForward = QStringLiteral("FORWARD");
inline const QString kStatusCode = QStringLiteral("CODE");
inline const QString kErrorText = QStringLiteral("TXT");

// Starting a program or the updater.
inline const QString kUpdaterFile = QStringLiteral("UPDFILE");
inline const QString kRunAsAdmin = QStringLiteral("RUNASADMIN");
inline const QString kProgramDirectory = QStringLiteral("PATH");
inline const QString kProgramFile = QStringLiteral("EXEFILE");
inline const QString kArguments = QStringLiteral("PARAM");
inline const QString kUpdateUrl = QStringLiteral("UPDATEURL");
inline const QString kChecksum = QStringLiteral("CRC");
// The words kProgramDirectory may hold for the system's directories.
inline const QString kSystemDirectory = QStringLiteral("SYS");
inline const QString kWindowsDirectory = QStringLiteral("WIN");

// Launch parameters that name the instance; the settings file gives their
// defaults under the same keys.
inline const QString kMutex = QStringLiteral("MUTEX");
inline const QString kClassName = QStringLiteral("CLSNM");
inline const QString kWindowName = QStringLiteral("WINNM");
}  // namespace field

// The text of a packet without fields: the settings of a window created
// without a packet, every value read at its default.
inline const QString kEmptyPacketText = QStringLiteral("<PKT></PKT>");

// The packet's kind (GBN), 0 when it has none.
int PacketKind(CPacket& packet);
// The command of a command packet (CMD), 0 when it has none.
int PacketCommand(CPacket& packet);

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
