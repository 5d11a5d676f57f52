// The service the shell shows: the content server's base address (put in
// front of relative page addresses) and its login page. Both are set when
// the program is built.
#pragma once

#include "framework/afxtypes.h"

inline CString ContentBaseUrl() {
    return QStringLiteral(VELK_CONTENT_BASE_URL);
}
inline CString LoginUrl() {
    return QStringLiteral(VELK_LOGIN_URL);
}
