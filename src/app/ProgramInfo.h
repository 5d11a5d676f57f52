// The command line's answers that need no display: the program's version
// and its usage. They are given before the toolkit starts, so they work on
// a console without a desktop.
#pragma once

#include <QString>
#include <QStringList>

enum class InfoRequest { kNone, kVersion, kHelp };

// What the program's own arguments (after its name) ask for: the first of
// "--version", "--help" and "-h" among them decides. Any other arguments
// (a link, --hidden, --show-chat, --autostart) ask for neither: kNone.
InfoRequest InfoRequestOf(const QStringList& arguments);

// "VelkSTKApp 1.0.0" and, on the next line, the engine's version.
QString VersionText();

// How to start the program: the link form, the program's own switches and
// the environment variables it reads. `program` is the name it was
// started by (argv[0]); its last path component is shown.
QString UsageText(const QString& program);

// When `arguments` ask for the version or the usage: prints it on standard
// output and returns the exit code (0, or 1 when the text could not be
// written). Otherwise -1 and nothing happens.
int RunInfoSwitch(const QString& program, const QStringList& arguments);
