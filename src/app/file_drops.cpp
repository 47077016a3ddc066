// SPDX-License-Identifier: GPL-3.0-or-later
// Files dropped on the frame: local files only, opened as from the command line.
#include "app/main_frame.h"

#include "capture/file_name.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

static bool OnlyLocalFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty()) return false;
    for (const QUrl& url : data->urls())
        if (!url.isLocalFile()) return false;
    return true;
}

// The URL's bytes, not its text: a file name that is not UTF-8 stays openable.
static QString LocalFileName(const QUrl& url)
{
    if (!url.host().isEmpty()) return url.toLocalFile();
    return DecodeFileName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void MainFrame::dragMoveEvent(QDragMoveEvent* event)
{
    if (OnlyLocalFiles(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainFrame::dropEvent(QDropEvent* event)
{
    if (!OnlyLocalFiles(event->mimeData())) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.append(LocalFileName(url));
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // A file that cannot be read ends in an error box.
    const FocusReturn focusReturn;
    OpenPaths(paths);
}
