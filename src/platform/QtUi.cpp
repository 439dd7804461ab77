#include "platform/QtUi.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QUrl>

Ui::Answer QtUi::messageBox(const QString &text, Buttons buttons, Icon icon, const QString &title,
                            const BoxOptions &options)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(effectiveTitle(title));
    box.setText(text);
    if (!options.detail.isEmpty())
        box.setInformativeText(options.detail);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    }
    // The first button is the default one, as users of this program expect.
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    if (options.defaultNo && buttons != Buttons::Ok)
        box.setDefaultButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default:
        // Escape on a Yes/No box closes it; treat that as the safe answer.
        return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

Ui::FileAnswer QtUi::fileDialog(const FileRequest &request, bool save)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The program asks its own overwrite question, reports a name it cannot
    // open itself and adds no extension.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = nameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    FileAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    answer.cancelled = false;
    const QStringList files = dialog.selectedFiles();
    answer.fileName = files.isEmpty() ? QString() : files.first();
    return answer;
}

Ui::FileAnswer QtUi::openFileDialog(const FileRequest &request)
{
    return fileDialog(request, false);
}

Ui::FileAnswer QtUi::saveFileDialog(const FileRequest &request)
{
    return fileDialog(request, true);
}

bool QtUi::printDialog(QPrinter &printer, bool selectionAvailable)
{
    QPrintDialog dialog(&printer, m_parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selectionAvailable);
    return dialog.exec() == QDialog::Accepted;
}

bool QtUi::printPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint)
{
    QPrintPreviewDialog dialog(&printer, m_parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&paint](QPrinter *p) { paint(*p); });
    return dialog.exec() == QDialog::Accepted;
}

bool QtUi::openFolder(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtUi::beep()
{
    QApplication::beep();
}

int QtUi::showModal(QDialog &dialog)
{
    return dialog.exec();
}
