// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/artwork.h"

#include "app/app_state.h"

using namespace Qt::StringLiterals;

constexpr int32_t IconSize = 16;

void LoadImageSlots()
{
    AppState& app = App();
    app.images[0] = QPixmap(u":/kurvex/background.png"_s);
    // The icons are stored side by side in one strip: each picture decoded on its own
    // costs more in setting up the decoder than in its 256 pixels.
    const QImage strip(u":/kurvex/icons.png"_s);
    for (int32_t slot = 1; slot < ImageSlotCount; ++slot)
        app.images[slot] =
            QPixmap::fromImage(strip.copy((slot - 1) * IconSize, 0, IconSize, IconSize));
}

QIcon ProgramIcon()
{
    static const QIcon icon = [] {
        QIcon programIcon;
        for (int size : {16, 32, 48})
            programIcon.addFile(u":/kurvex/kurvex%1.png"_s.arg(size), QSize(size, size));
        return programIcon;
    }();
    return icon;
}
