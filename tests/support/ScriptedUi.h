#pragma once

#include "platform/Ui.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;

// A Ui for tests: records every box and dialog, answers from a script.
// A question, dialog or modal window with nothing scripted for it is recorded
// in unscripted() and answered with the safest choice, so a test never hangs;
// ScriptedUi::verifyDone() (or the test's cleanup) turns it into a failure.
class ScriptedUi : public Ui
{
public:
    struct Box
    {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title; // as shown: "ZEV" when none was given
        bool operator==(const Box &o) const
        {
            return text == o.text && buttons == o.buttons && icon == o.icon && title == o.title;
        }
    };
    struct PrintAnswer
    {
        bool accept = true;
        QString pdfPath;
        int copies = 1;
        bool selection = false;
    };
    using ModalHandler = std::function<int(QDialog &)>;

    // Script
    void answer(Answer a) { m_answers << a; }
    void openFile(const QString &name) { m_files << FileAnswer{false, name}; }
    void saveFile(const QString &name) { m_files << FileAnswer{false, name}; }
    void cancelFileDialog() { m_files << FileAnswer{true, QString()}; }
    void print(const PrintAnswer &a) { m_prints << a; }
    void onModal(ModalHandler handler) { m_modals << std::move(handler); }
    // Runs while each box is up, as the user's world goes on (a real box takes the activation).
    std::function<void()> whileBoxShows;

    // Record
    QList<Box> boxes;
    QList<BoxOptions> boxOptions; // beside each box: its detail and default button
    QList<FileRequest> fileRequests;
    QStringList modalWindows; // objectName of each window shown modally
    int beeps = 0;
    int previews = 0;
    QString previewPdf;
    QStringList openedFolders;
    const QStringList &unscripted() const { return m_unscripted; }
    bool scriptUsedUp() const { return m_answers.isEmpty() && m_files.isEmpty() && m_prints.isEmpty() && m_modals.isEmpty(); }
    void clear();

    Answer messageBox(const QString &text, Buttons buttons, Icon icon, const QString &title = QString(),
                      const BoxOptions &options = {}) override;
    FileAnswer openFileDialog(const FileRequest &request) override;
    FileAnswer saveFileDialog(const FileRequest &request) override;
    bool printDialog(QPrinter &printer, bool selectionAvailable) override;
    // Paints the preview into previewPdf when one is named; the user closes it without printing.
    bool printPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint) override;
    bool openFolder(const QString &path) override
    {
        openedFolders << path;
        return true;
    }
    void beep() override { ++beeps; }
    int showModal(QDialog &dialog) override;

private:
    FileAnswer nextFile(const FileRequest &request, const char *what);
    QList<Answer> m_answers;
    QList<FileAnswer> m_files;
    QList<PrintAnswer> m_prints;
    QList<ModalHandler> m_modals;
    QStringList m_unscripted;
};

// Lets QCOMPARE print a box.
char *toString(const ScriptedUi::Box &box);
