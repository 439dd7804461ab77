#pragma once

#include <QWidget>

// A window shown inside the main window. activate() runs each time it becomes
// the active child (settings windows reload from the image there).
class ChildWindow : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Runs once the window sits in its place; false makes it close at once.
    virtual bool load() { return true; }
    virtual void activate() {}
    // Back to the first page (File "Default" asks the symbology window for it).
    virtual void showFirstPage() {}
    // Closes the child together with its frame inside the main window.
    void closeChild();
    // The window's title line: label in bold, a size larger.
    static void makeHeading(QWidget *label);

protected:
    // Enter on a focused button presses it, as in a dialog.
    void keyPressEvent(QKeyEvent *event) override;
};
