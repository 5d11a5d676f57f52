#include "mainframe/TrayIcon.h"

#include "shared/Messages.h"

CTrayIcon::CTrayIcon() {
    m_data.cbSize = 956;
}

BOOL CTrayIcon::AddIcon(CWnd* owner, UINT callbackMessage, const CString& tip) {
    m_data.cbSize = 956;
    m_data.hWnd = owner ? owner->m_hWnd : nullptr;
    m_data.uCallbackMessage = callbackMessage;
    // A tip longer than the field's 127 characters is cut to fit.
    CopyToField(m_data.szTip, 128, tip);
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    const BOOL added = Shell_NotifyIconW(NIM_ADD, &m_data);
    if (added) {
        // Tray hosts that draw the icon's menu themselves get the items of the
        // menu the owner shows for the right button, so the same commands
        // reach it from there.
        HMENU menu = LoadMenuW(nullptr, IDR_TRAY_MENU);
        SetNotifyIconMenu(&m_data, GetSubMenu(menu, 0));
        DestroyMenu(menu);
    }
    return added;
}

BOOL CTrayIcon::SetAppIcon() {
    m_data.hIcon = LoadIconW(nullptr, IDI_APPLICATION_ICON);
    m_data.uFlags = NIF_ICON;
    return Shell_NotifyIconW(NIM_MODIFY, &m_data);
}

BOOL CTrayIcon::ShowBalloon(const CString& text) {
    CopyToField(m_data.szInfo, 256, text);
    m_data.uFlags = NIF_INFO;
    return Shell_NotifyIconW(NIM_MODIFY, &m_data);
}

BOOL CTrayIcon::RemoveIcon() {
    m_data.uFlags = 0;
    return Shell_NotifyIconW(NIM_DELETE, &m_data);
}
