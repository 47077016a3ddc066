// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/fixed_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QSizePolicy>

#include <algorithm>

FixedDialog::FixedDialog(QWidget* owner, const QString& title, int width, int height)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(title);
    // A size set explicitly: the layout arranges the controls inside it and never resizes it.
    setFixedSize(width, height);
    // The layout was drawn for a compact dialog font, as in the capture window.
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

QPushButton* FixedDialog::AddButton(const char* name, const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    FitRow(button);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void FixedDialog::FitRow(QWidget* widget)
{
    // Ignored across: neither the text's width nor the style's minimum moves a neighbour.
    widget->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    widget->setFixedHeight(RowHeight);
}
