#pragma once

#include <QString>

class CPacket;

// The script that hands a packet to a page: a call of the page's function
// JSRecv with the packet's text as its one argument, a string literal whose
// value is exactly that text whatever it holds.
QString ScriptCallOf(const CPacket& packet);
