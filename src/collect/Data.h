#pragma once

#include <QDialog>

class QPlainTextEdit;
class QAction;
class Ui;

// The viewer of downloaded data: shows the text, saves it, prints it.
class Data : public QDialog
{
    Q_OBJECT
public:
    explicit Data(Ui &ui, QWidget *parent = nullptr);

    // The text as the download built it, one character per byte, CR LF line ends.
    void setText(const QByteArray &text);
    void appendText(const QByteArray &text);
    QByteArray text() const;
    void clear();

    void mnuSaveAs_Click();
    void mmuPrint_Click();

    QPlainTextEdit *RichTextBox1 = nullptr;

private:
    Ui &m_ui;
    QByteArray m_text; // the bytes, kept apart from the widget's own line ends
};
