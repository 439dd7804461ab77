#pragma once

#include "platform/Ui.h"

// A window in a benchmark is only filled; it never asks anything.
class SilentUi : public Ui
{
public:
    Answer messageBox(const QString &, Buttons, Icon, const QString &, const BoxOptions &) override { return Answer::Ok; }
    FileAnswer openFileDialog(const FileRequest &) override { return {}; }
    FileAnswer saveFileDialog(const FileRequest &) override { return {}; }
    bool printDialog(QPrinter &, bool) override { return false; }
    bool printPreview(QPrinter &, const std::function<void(QPrinter &)> &) override { return false; }
    bool openFolder(const QString &) override { return false; }
    void beep() override {}
    int showModal(QDialog &) override { return 0; }
};
