// Entry point of the viewer: the frame, the files named on the command line, the one
// event loop. The exit code is 0 however the program ends.
#include "app/main_frame.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(kurvex);
    // The interface is German; so are the toolkit's own dialogs and menus, where installed.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(u"qtbase_de"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&toolkitTexts);
    QStringList paths = QCoreApplication::arguments();
    if (!paths.isEmpty()) paths.removeFirst();
    MainFrame* frame = StartMainFrame(paths);
    QApplication::exec();
    delete frame;
    return 0;
}
