#include "res/resources.h"

#include "framework/afxwin.h"
#include "platform/menus.h"
#include "shared/Messages.h"

void RegisterResources() {
    AfxSetApplicationIcon(QStringLiteral(":/res/app.png"));
    RegisterMenuResource(IDR_TRAY_MENU, MenuTemplate{QStringLiteral("POP"),
                                                     {{ID_TRAY_REFRESH, QStringLiteral("새로고침")},
                                                      {0, QString()},
                                                      {ID_TRAY_EXIT, QStringLiteral("종료")}}});
}
