#pragma once

#include "platform/Ui.h"

class QWidget;

// The real Ui: QMessageBox, QFileDialog, QPrintDialog.
class QtUi : public Ui
{
public:
    explicit QtUi(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer messageBox(const QString &text, Buttons buttons, Icon icon, const QString &title = QString(),
                      const BoxOptions &options = {}) override;
    FileAnswer openFileDialog(const FileRequest &request) override;
    FileAnswer saveFileDialog(const FileRequest &request) override;
    bool printDialog(QPrinter &printer, bool selectionAvailable) override;
    bool printPreview(QPrinter &printer, const std::function<void(QPrinter &)> &paint) override;
    bool openFolder(const QString &path) override;
    void beep() override;
    int showModal(QDialog &dialog) override;

private:
    FileAnswer fileDialog(const FileRequest &request, bool save);
    QWidget *m_parent = nullptr;
};
