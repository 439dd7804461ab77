#pragma once

#include "core/ChildWindow.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
struct Session;
class Ui;

// The preamble and postamble strings, built one character cell at a time:
// a left click picks the character from the ASCII table, any other clears it.
class frmAmble : public ChildWindow
{
    Q_OBJECT
public:
    // Cells 0-7 are the preamble, 10-17 the postamble.
    static constexpr int CellIndices = 18;
    static bool isCell(int k) { return (k >= 0 && k < 8) || (k >= 10 && k < 18); }

    frmAmble(Session &session, Ui &ui, QWidget *parent = nullptr);

    void activate() override { loadCells(); }
    void Preamble_MouseDown(int k, Qt::MouseButton button);
    void Command1_Click(); // Accept
    void Command2_Click(); // Default

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void loadCells();
    bool store();
    static int stringCell(int k) { return k < 8 ? k : k - 2; } // 0-15, as the image orders them
    static int cellIndex(int stringCell) { return stringCell < 8 ? stringCell : stringCell + 2; }
    QString clearedCaption() const;

    Session &m_session;
    Ui &m_ui;
    QWidget *m_content;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    std::array<QPushButton *, CellIndices> Preamble{};
    std::array<QLineEdit *, CellIndices> Text1{};
    QPushButton *Command1;
    QPushButton *Command2;
};
