// SPDX-License-Identifier: GPL-3.0-or-later
// What the math dialog and the print preview share: a fixed client size laid out for a
// compact font, a place in the middle of the screen, and an end only through their own
// buttons or the close box, never through Enter or Escape.
#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QPushButton;

class FixedDialog : public QDialog {
  public:
    FixedDialog(QWidget* owner, const QString& title, int width, int height);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A push button that is never the default one, so that Enter does not press it.
    QPushButton* AddButton(const char* name, const QString& text, int x, int y, int width);
};
