// Starting with the user's session: the XDG autostart entry of the program
// (`velkstk --autostart on|off`), and the hidden start it asks for.
//
// Threading: user-interface thread (or before the toolkit starts).
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The switch that the autostart entry gives the program: the main chat
// window is made but kept hidden when the desktop has a notification area
// (its icon brings the window back), and shown as usual where it has none.
inline constexpr char kHiddenStartSwitch[] = "--hidden";

// Where the entry lives: "autostart/kr.velk.VelkSTKApp.desktop" in the
// user's configuration directory (XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config).
QString AutostartEntryPath();

// The entry's text: a desktop entry that starts `command` (the program as
// the user starts it) with the hidden-start switch. The command is quoted
// and escaped by the desktop-entry rules when it needs to be.
QString AutostartEntry(const QString& command);

// `--autostart on` writes the entry for `command`, `--autostart off`
// removes it (an entry that is not there is no error). Returns the error
// to tell the user, or empty on success.
QString SetAutostart(bool on, const QString& command);

// When `arguments` (the program's own, after its name) begin with
// "--autostart": carries out "--autostart on" or "--autostart off", says
// what went wrong (or the usage, for anything else) on standard error, and
// returns the exit code (0 on success). Otherwise -1 and nothing happens.
// `program` is the name the program was started by (argv[0]).
int RunAutostartSwitch(const QString& program, const QStringList& arguments);

// Whether this start keeps its main chat window hidden: it was started
// with the hidden-start switch and the desktop has a notification area now.
bool StartsHidden();

}  // namespace platform
