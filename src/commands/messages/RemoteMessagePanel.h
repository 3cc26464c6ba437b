#pragma once

#include "wire/RemoteMessage.h"

#include <QPoint>
#include <QWidget>

#include <functional>

class QScreen;

namespace vesk {

// The floating window of an administrator's message: frameless, above every other window
// (full-screen kiosk apps included), shown without taking focus, dragged by its background.
// It has no close, minimise or zoom controls; only the Dismiss button of a dismissable
// message takes it down.
class RemoteMessagePanel : public QWidget {
    Q_OBJECT
public:
    RemoteMessagePanel(const RemoteMessage &message, const QString &sentText, std::function<void()> dismiss,
                       QWidget *parent = nullptr);

    // Centres the panel on `screen` and brings it to the front without activating the agent.
    void showOn(QScreen *screen);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPoint m_dragOffset;
};

} // namespace vesk
