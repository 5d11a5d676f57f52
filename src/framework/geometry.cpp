#include "framework/afxtypes.h"

BOOL InflateRect(RECT* r, int dx, int dy) {
    if (!r)
        return FALSE;
    r->left -= dx;
    r->top -= dy;
    r->right += dx;
    r->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
    if (!r)
        return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* r, POINT p) {
    if (!r)
        return FALSE;
    return p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
    if (!r)
        return FALSE;
    *r = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL IsRectEmpty(const RECT* r) {
    return !r || r->right <= r->left || r->bottom <= r->top;
}
