// The toolkit peer of a framework window: a QWidget that turns toolkit
// events into window messages for its CWnd, so the system sees one model
// whether a message came from the user, the toolkit or another window.
#pragma once

#include <QWidget>

#include "framework/afxwin.h"

namespace framework {

class PeerWidget : public QWidget {
    Q_OBJECT
public:
    PeerWidget(CWnd* owner, QWidget* parent);
    // The window is gone: stop forwarding events to it.
    void Detach() { m_owner = nullptr; }
    CWnd* Owner() const { return m_owner; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    CWnd* m_owner;
};

// Conversions at the toolkit boundary.
QRect ToQRect(const RECT& r);
RECT FromQRect(const QRect& r);

}  // namespace framework
