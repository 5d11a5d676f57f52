#pragma once

#include <QString>

class CPacket;

// Fills `params` from the process command line. `marker` is the executable marker (".exe" on
// Windows-style text). Returns false when start-up must end.
//
// The launch parameters are KEY=VALUE pairs separated by '$' after the first "://" that follows
// the executable's name, as in a link of a custom protocol ("x://url=page$mutex=M1"). Each pair
// is stored with SetString, the key in upper case and the value raw: nothing is unquoted or
// decoded, so a closing quotation mark of a quoted argument stays part of the last value.
// Malformed pairs (no key, no '=', an empty value) are skipped.
bool ParseLaunchParameters(const QString& commandLine, const QString& marker, CPacket& params);
