#pragma once

#include <QDialog>

class QTableWidget;
struct Session;

// The ASCII table: a press on a character returns its code and name through
// PickedCode and PickedName and closes the table.
class sfrmASC : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Rows = 17;
    static constexpr int Columns = 9;

    explicit sfrmASC(Session &session, QWidget *parent = nullptr);

    QTableWidget *MSHFlexGrid1() const { return m_grid; }
    // The code a character cell stands for: high digit by column, low digit by row.
    static int codeAt(int row, int column) { return (column - 1) * 16 + (row - 1); }

protected:
    void showEvent(QShowEvent *event) override;
    // Arrows move among the character cells; Enter or Space picks one.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void MSHFlexGrid1_MouseDown(int row, int column);

    Session &m_session;
    QTableWidget *m_grid;
};
