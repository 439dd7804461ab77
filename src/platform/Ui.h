#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QPrinter;

// What a message box may carry beside its text: a detail (the device and the
// operating system's reason, say) and which button Enter presses.
struct BoxOptions
{
    QString detail{}; // "{}" lets BoxOptions{.defaultNo = true} build without a warning
    bool defaultNo = false; // otherwise the first button is the default
};

// Everything the windows say to the user or ask of the user goes through here,
// so that tests can record it and answer from a script.
class Ui
{
public:
    enum class Icon { None, Critical, Exclamation, Information };
    enum class Buttons { Ok, YesNo, YesNoCancel };
    enum class Answer { Ok, Yes, No, Cancel };

    // A file dialog as the windows set it up. filter is in "Label|pattern|Label|pattern"
    // form; filterIndex is 1-based.
    struct FileRequest
    {
        QString filter;
        int filterIndex = 1;
        QString fileName;
    };
    struct FileAnswer
    {
        bool cancelled = true;
        QString fileName;
    };

    virtual ~Ui() = default;

    // An empty title shows the application title "ZEV".
    virtual Answer messageBox(const QString &text, Buttons buttons, Icon icon,
                              const QString &title = QString(), const BoxOptions &options = {}) = 0;
    virtual FileAnswer openFileDialog(const FileRequest &request) = 0;
    virtual FileAnswer saveFileDialog(const FileRequest &request) = 0;
    // Lets the user set up printer (copies, range); false when cancelled.
    virtual bool printDialog(QPrinter &printer, bool selectionAvailable) = 0;
    // Shows the pages paint draws (Qt's preview, from which the user may print);
    // true when the user printed from it.
    virtual bool printPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint) = 0;
    // Opens a folder in the desktop's file manager; false when that failed.
    virtual bool openFolder(const QString &path) = 0;
    virtual void beep() = 0;
    // Shows a window modally and returns its result code.
    virtual int showModal(QDialog &dialog) = 0;

    // The Default commands' confirmation: "Current <what> will be changed to
    // factory default. Are you sure ?(Y/N) ", Yes/No, under one title for all.
    bool confirmFactoryDefault(const QString &what);

    static QString effectiveTitle(const QString &title);
    // "All (*.*)|*.*|B (*.b)|*.b" -> {"All (*.*) (*)", "B (*.b) (*.b)"}: the label as
    // given, then the patterns in the form QFileDialog takes ("*.*" is every file).
    static QStringList nameFilters(const QString &filter);
};
