#include "app/artwork.h"

#include "app/app_state.h"

using namespace Qt::StringLiterals;

void LoadImageSlots()
{
    AppState& app = App();
    app.images[0] = QPixmap(u":/kurvex/background.png"_s);
    for (int32_t slot = 1; slot < ImageSlotCount; ++slot)
        app.images[slot] = QPixmap(u":/kurvex/icon%1.png"_s.arg(slot, 2, 10, QChar(u'0')));
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
