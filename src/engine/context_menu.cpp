// The page's context menu: the engine's standard items, given to the
// client's menu handler, which may add its own or empty the menu.
#include <QMenu>
#include <QPointer>

#include "engine/qt_browser.h"

namespace engine {

// The menu opens without a loop of its own and answers when an item is
// chosen: a modal menu would run inside the engine's task that asked for
// it, and the engine runs no other task (page loads, script calls, network
// replies) until that one returns.
void QtBrowser::ShowContextMenu(const QPoint& globalPos, const QPoint& localPos) {
    if (m_closed || !m_view || !m_client)
        return;
    CefRefPtr<CefContextMenuHandler> handler = m_client->GetContextMenuHandler();
    // The standard menu belongs to the view: when the browser closes while
    // the menu is open, the view takes it along, and it is not ours to
    // delete any more.
    QPointer<QMenu> standard = m_view->createStandardContextMenu();
    CefRefPtr<CefMenuModel> model = CefMenuModel::Create();
    int i = 0;
    for (QAction* a : standard->actions()) {
        if (a->isSeparator()) {
            model->AddSeparator();
        } else {
            model->AddStandardItem(++i, a->text(), a);
        }
    }
    CefRefPtr<CefContextMenuParams> params = new CefContextMenuParams(localPos.x(), localPos.y());
    if (handler)
        handler->OnBeforeContextMenu(this, this, params, model);
    if (model->GetCount() == 0) {
        delete standard.data();
        return;
    }
    auto* menu = new QMenu(m_view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const CefMenuModel::Item& item : model->Items()) {
        if (item.commandId == -1 && !item.standardAction) {
            menu->addSeparator();
        } else if (item.standardAction) {
            menu->addAction(static_cast<QAction*>(item.standardAction));
        } else {
            QAction* a = menu->addAction(item.label);
            a->setData(item.commandId);
        }
    }
    CefRefPtr<QtBrowser> self(this);
    QObject::connect(menu, &QMenu::triggered, menu, [self, handler, params](QAction* chosen) {
        if (chosen && !chosen->data().isNull() && handler && !self->m_closed)
            handler->OnContextMenuCommand(self.get(), self.get(), params, chosen->data().toInt(),
                                          0);
    });
    // The standard actions live in the standard menu: it goes with ours.
    QObject::connect(menu, &QObject::destroyed, [standard] { delete standard.data(); });
    menu->popup(globalPos);
}

}  // namespace engine
