// SPDX-License-Identifier: GPL-3.0-or-later
// What the math dialog and the print preview share: a fixed client size laid out for a
// compact font, a place in the middle of the screen, and an end only through their own
// buttons or the close box, never through Enter or Escape.
//
// Their layouts are built so that, at the fixed size, every control lands on the place the
// compact design gives it: margins and gaps of Gap, rows of RowHeight, and controls that
// take the width their cell gives them rather than the width their text asks for.
#pragma once

#include <QDialog>
#include <QString>

class QKeyEvent;
class QPushButton;

class FixedDialog : public QDialog {
  public:
    FixedDialog(QWidget* owner, const QString& title, int width, int height);

    static constexpr int Gap = 5;
    static constexpr int RowHeight = 20;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A push button that is never the default one, so that Enter does not press it. Its
    // width follows its cell, as FitRow gives it.
    QPushButton* AddButton(const char* name, const QString& text);
    // One row high, and as wide as the layout makes it, whatever its text would like.
    static void FitRow(QWidget* widget);
};
