// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/standard_icon_style.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QProxyStyle>

namespace {

class StandardIconStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap picture, const QStyleOption* option,
                       const QWidget* widget) const override
    {
        // An option can ask for a variant of the picture; those are left to the style.
        if (option) return QProxyStyle::standardIcon(picture, option, widget);
        const auto kept = icons.constFind(picture);
        if (kept != icons.cend()) return *kept;
        const QIcon icon = QProxyStyle::standardIcon(picture, option, widget);
        icons.insert(picture, icon);
        return icon;
    }

  private:
    mutable QHash<int, QIcon> icons;
};

} // namespace

void InstallStandardIconStyle()
{
    if (dynamic_cast<StandardIconStyle*>(QApplication::style())) return;
    // The proxy takes ownership of its base: it gets an instance of its own.
    QApplication::setStyle(new StandardIconStyle(QApplication::style()->name()));
}
