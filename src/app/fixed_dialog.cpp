// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fixed_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

FixedDialog::FixedDialog(QWidget* owner, const QString& title, int width, int height)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(title);
    setFixedSize(width, height);
    // The fixed layout was drawn for a compact dialog font, as in the capture window.
    QFont compact = font();
    compact.setPointSizeF(std::min(compact.pointSizeF(), 8.0));
    setFont(compact);
    // Centred on the screen rather than over the owner.
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->availableGeometry().center() - rect().center());
}

void FixedDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

QPushButton* FixedDialog::AddButton(const char* name, const QString& text, int x, int y, int width)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, width, 20);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
