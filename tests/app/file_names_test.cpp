// SPDX-License-Identifier: GPL-3.0-or-later
// A capture whose name is Latin-1, not UTF-8, opens from the command line and from a drop,
// and an export beside it keeps its name; a message shows the bytes that are not text.
#include "app/main_frame.h"
#include "app_fixture.h"
#include "capture/file_name.h"

#include <QApplication>
#include <QDropEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QUrl>

#include <cstdio>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

TEST_F(AppTest, NamesThatAreNotUtf8OpenFromTheCommandLineAndDrops)
{
    const QByteArray folderBytes = QFile::encodeName(folder.path());
    const QByteArray latin1 = folderBytes + "/caf\xE9.sav";
    ASSERT_EQ(
        std::rename(QFile::encodeName(WriteCapture(u"x.sav"_s)).constData(), latin1.constData()),
        0);
    const QString missing = DecodeFileName(folderBytes + "/nix\xE9.sav");

    Start({DecodeFileName(latin1), missing});
    EXPECT_EQ(CaptureWindows(App().mdiArea).size(), 1);
    EXPECT_EQ(messages, QStringList{u"Fehler: Die Datei \"%1/nix\\xE9.sav\" kann nicht geöffnet "
                                    u"werden!"_s.arg(folder.path())});

    // A file manager sends the name's bytes percent-encoded.
    QMimeData data;
    data.setUrls({QUrl::fromEncoded("file://" + latin1.toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &drop);
    EXPECT_EQ(CaptureWindows(App().mdiArea).size(), 2);
    EXPECT_EQ(Window(0).SubWindow()->windowTitle(), u"caf\\xE9.sav"_s); // the odd byte, visibly
    EXPECT_EQ(messages.size(), 1);

    // The CSV export proposes the capture's own name, and the file lands under it.
    frame->MdiArea()->setActiveSubWindow(Window(0).SubWindow());
    saveAnswer = DecodeFileName(folderBytes + "/caf\xE9.csv");
    frame->RunCommand(Command::ExportCsv);
    ASSERT_EQ(saveRequests.size(), 1);
    EXPECT_EQ(EncodeFileName(saveRequests.at(0).initialFile), folderBytes + "/caf\xE9");
    struct stat written {};
    EXPECT_EQ(stat((folderBytes + "/caf\xE9.csv").constData(), &written), 0);
    EXPECT_GT(written.st_size, 0);
    EXPECT_EQ(messages.size(), 1);
}
