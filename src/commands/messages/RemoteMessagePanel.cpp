#include "commands/messages/RemoteMessagePanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace vesk {

namespace {

QLabel *label(const QString &text, QWidget *parent, qreal scale = 1.0, bool bold = false)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    QFont font = l->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(bold);
    l->setFont(font);
    return l;
}

QLabel *symbol(QStyle::StandardPixmap which, int size, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setPixmap(parent->style()->standardIcon(which).pixmap(size, size));
    return l;
}

} // namespace

RemoteMessagePanel::RemoteMessagePanel(const RemoteMessage &message, const QString &sentText,
                                       std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::X11BypassWindowManagerHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("remoteMessagePanel"));
    setMinimumWidth(420);
    setMaximumWidth(560);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    auto *heading = new QHBoxLayout;
    heading->addWidget(symbol(QStyle::SP_MessageBoxInformation, 28, this));
    heading->addWidget(label(QStringLiteral("Message from your administrator"), this, 1.0, true), 1);
    layout->addLayout(heading);
    if (message.title)
        layout->addWidget(label(*message.title, this, 1.4, true));
    layout->addWidget(label(message.message, this));
    layout->addWidget(label(QStringLiteral("Sent ") + sentText, this, 0.8));

    if (message.dismissable && dismiss) {
        auto *button = new QPushButton(QStringLiteral("Dismiss"), this);
        button->setAccessibleDescription(QStringLiteral("Dismiss this message"));
        button->setToolTip(QStringLiteral("Dismiss this message"));
        connect(button, &QPushButton::clicked, this, [dismiss] { dismiss(); });
        layout->addWidget(button, 0, Qt::AlignRight);
    } else {
        auto *locked = new QHBoxLayout;
        locked->addWidget(symbol(QStyle::SP_MessageBoxWarning, 16, this));
        locked->addWidget(label(QStringLiteral("Only your administrator can clear this notice."), this, 0.9), 1);
        layout->addLayout(locked);
    }
}

void RemoteMessagePanel::showOn(QScreen *screen)
{
    adjustSize();
    if (screen) {
        setScreen(screen);
        QRect frame = rect();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
}

void RemoteMessagePanel::mousePressEvent(QMouseEvent *event)
{
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void RemoteMessagePanel::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

} // namespace vesk
