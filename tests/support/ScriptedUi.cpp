#include "support/ScriptedUi.h"

#include <QDialog>
#include <QPrinter>
#include <QTest>

void ScriptedUi::clear()
{
    boxes.clear();
    whileBoxShows = nullptr;
    boxOptions.clear();
    fileRequests.clear();
    modalWindows.clear();
    beeps = 0;
    previews = 0;
    previewPdf.clear();
    openedFolders.clear();
    m_answers.clear();
    m_files.clear();
    m_prints.clear();
    m_modals.clear();
    m_unscripted.clear();
}

Ui::Answer ScriptedUi::messageBox(const QString &text, Buttons buttons, Icon icon, const QString &title,
                                  const BoxOptions &options)
{
    boxes << Box{text, buttons, icon, effectiveTitle(title)};
    boxOptions << options;
    if (whileBoxShows)
        whileBoxShows();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (m_answers.isEmpty()) {
        m_unscripted << QStringLiteral("question: ") + text;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    return m_answers.takeFirst();
}

Ui::FileAnswer ScriptedUi::nextFile(const FileRequest &request, const char *what)
{
    fileRequests << request;
    if (m_files.isEmpty()) {
        m_unscripted << QString::fromLatin1(what);
        return FileAnswer{};
    }
    return m_files.takeFirst();
}

Ui::FileAnswer ScriptedUi::openFileDialog(const FileRequest &request)
{
    return nextFile(request, "open file dialog");
}

Ui::FileAnswer ScriptedUi::saveFileDialog(const FileRequest &request)
{
    return nextFile(request, "save file dialog");
}

bool ScriptedUi::printDialog(QPrinter &printer, bool selectionAvailable)
{
    if (m_prints.isEmpty()) {
        m_unscripted << QStringLiteral("print dialog");
        return false;
    }
    const PrintAnswer a = m_prints.takeFirst();
    if (!a.accept)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(a.pdfPath);
    printer.setCopyCount(a.copies);
    printer.setPrintRange(a.selection && selectionAvailable ? QPrinter::Selection : QPrinter::AllPages);
    return true;
}

bool ScriptedUi::printPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint)
{
    ++previews;
    if (!previewPdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(previewPdf);
        paint(printer);
    }
    return false;
}

int ScriptedUi::showModal(QDialog &dialog)
{
    modalWindows << dialog.objectName();
    if (m_modals.isEmpty()) {
        m_unscripted << QStringLiteral("modal window ") + dialog.objectName();
        return QDialog::Rejected;
    }
    return m_modals.takeFirst()(dialog);
}

char *toString(const ScriptedUi::Box &box)
{
    static const char *const icons[] = {"none", "critical", "exclamation", "information"};
    static const char *const buttons[] = {"OK", "Yes/No", "Yes/No/Cancel"};
    const QString s = QStringLiteral("[\"%1\" %2 %3 \"%4\"]")
                          .arg(box.text, QLatin1String(icons[int(box.icon)]),
                               QLatin1String(buttons[int(box.buttons)]), box.title);
    return QTest::toString(s);
}
