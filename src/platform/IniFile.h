#pragma once

// Reader of the settings file app.ini with the reading rules of the Win32
// profile functions (as Wine 8 implements them); the rules are written down in
// docs/ini-rules.md. The file is read afresh at every call, so an edit takes effect
// at the next read. Nothing is ever written.

#include <QString>

// Reads the value of `key` in the first section named `section` of the file at
// `path`. `bufferChars` is the caller's buffer size in characters: at most
// bufferChars - 1 characters come back (the system always passes 512).
// A missing file, section or key, or a key line without '=', gives `def` with
// its trailing spaces removed (an all-space default becomes one space).
QString GetPrivateProfileStringW(const QString& section, const QString& key, const QString& def,
                                 int bufferChars, const QString& path);

// Reads the value as an integer: decimal, or 0x / 0o / 0b prefixed, with an
// optional sign, wrapping as an unsigned 32-bit number. A missing or empty value
// gives `def`.
int GetPrivateProfileIntW(const QString& section, const QString& key, int def, const QString& path);
