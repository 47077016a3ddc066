// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>

static PlatformHooks DefaultHooks()
{
    PlatformHooks hooks;
    hooks.openDialog = QtOpenDialog;
    hooks.saveDialog = QtSaveDialog;
    hooks.errorBox = QtErrorBox;
    hooks.clipboardImage = QtClipboardImage;
    hooks.quitEventLoop = QtQuitEventLoop;
    return hooks;
}

PlatformHooks& Platform()
{
    static PlatformHooks hooks = DefaultHooks();
    return hooks;
}

void ResetPlatformHooks()
{
    Platform() = DefaultHooks();
}

QStringList RunOpenDialog(QWidget* owner, const FileDialogRequest& request)
{
    return Platform().openDialog ? Platform().openDialog(owner, request) : QStringList();
}

QString RunSaveDialog(QWidget* owner, const FileDialogRequest& request)
{
    return Platform().saveDialog ? Platform().saveDialog(owner, request) : QString();
}

void ShowErrorBox(QWidget* owner, const QString& title, const QString& text)
{
    if (Platform().errorBox) Platform().errorBox(owner, title, text);
}

void PutImageOnClipboard(const QImage& image)
{
    if (Platform().clipboardImage) Platform().clipboardImage(image);
}

void QuitEventLoop()
{
    if (Platform().quitEventLoop) Platform().quitEventLoop();
}

// The toolkit's own dialog rather than the desktop's, so that it behaves the same on every
// desktop and can be driven by keyboard automation.
static void PrepareDialog(QFileDialog& dialog, const FileDialogRequest& request)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filterIndex));
    dialog.setDefaultSuffix(request.defaultExtension);
    // "*.*" stands for every file in these filters, but the toolkit matches it only against
    // names with a dot: a capture saved without an extension would not be listed.
    const auto everyFileFor = [&dialog](const QString& filter) {
        if (!filter.endsWith(u"(*.*)")) return;
        if (auto* model = dialog.findChild<QFileSystemModel*>())
            model->setNameFilters({QStringLiteral("*")});
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, everyFileFor);
    everyFileFor(dialog.selectedNameFilter());
    if (!request.initialFile.isEmpty()) {
        const QFileInfo initial(request.initialFile);
        if (initial.isAbsolute() || request.initialFile.contains(u'/'))
            dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
}

QStringList QtOpenDialog(QWidget* owner, const FileDialogRequest& request)
{
    QFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (request.multiSelect)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    PrepareDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

namespace {

// The toolkit adds the default extension only to a name without any dot, so an export of
// "rc-1.5v.sav" proposed as "rc-1.5v" would be saved with no extension at all. A name that
// the selected filter does not match gets the default extension before the dialog checks
// for an existing file, so the overwrite question still sees the final name. "Alle Dateien"
// takes any name as typed.
class SaveFileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QString filter = selectedNameFilter();
        const QStringList files = selectedFiles();
        const qsizetype open = filter.lastIndexOf(u'(');
        if (!files.isEmpty() && !defaultSuffix().isEmpty() && open >= 0 &&
            !filter.endsWith(u"(*.*)")) {
            const QStringList patterns =
                filter.mid(open + 1).chopped(1).split(u' ', Qt::SkipEmptyParts);
            const QFileInfo chosen(files.first());
            if (!chosen.isDir() && !QDir::match(patterns, chosen.fileName())) {
                const QString named = chosen.filePath() + u'.' + defaultSuffix();
                // selectFile leaves the name field alone while it has the focus, as it has
                // when the user typed the name: the field itself gets the full name.
                if (auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    field->setText(named);
                selectFile(named);
            }
        }
        QFileDialog::accept();
    }
};

} // namespace

QString QtSaveDialog(QWidget* owner, const FileDialogRequest& request)
{
    SaveFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    PrepareDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void QtErrorBox(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, owner);
    box.exec();
}

void QtClipboardImage(const QImage& image)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(image);
}

void QtQuitEventLoop()
{
    QCoreApplication::exit(0);
}
