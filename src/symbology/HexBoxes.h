#pragma once

#include <QObject>
#include <QStringList>

class QLineEdit;
class QWidget;
struct Session;
class Ui;

// The entry rules of the symbology window's hexadecimal boxes: the Code ID
// boxes TB(0..14) with their pad buttons CB4(i), and the barcode length boxes
// Text1(0..7) with theirs, Command3(i). Finds them by name in the window.
class HexBoxes : public QObject
{
    Q_OBJECT
    class KeyRule;

public:
    static constexpr int CodeIdBoxes = 15;
    static constexpr int LengthBoxes = 8;
    static inline const QString Allowed = QStringLiteral("0123456789ABCDEF");

    HexBoxes(Session &session, Ui &ui, QObject *parent = nullptr);
    // Attaches to every box and pad button that window holds.
    void attach(QWidget &window);

    // Says why Accept refused a length box, and puts the user there with the text selected.
    void reportLengthFailure(const QString &box);

    // The key rule, after upper-casing: hex digits pass, and so does every code
    // up to 48 ("0") unchecked; anything else is refused.
    static bool refuses(QChar typed);
    // The first other row holding the same Code ID ("4a" is "4A"; "4" is not "04"), or -1.
    static int duplicateOf(const QStringList &codeIds, int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // true when the row held a duplicate and was emptied
    bool duplicateCheck(int row);
    void padInto(QLineEdit *box, int maxLength);
    int codeIdRow(const QObject *box) const;
    void refuseKey(QLineEdit &box);

    Session &m_session;
    Ui &m_ui;
    QWidget *m_window = nullptr;
    KeyRule *m_keyRule;
    QList<QLineEdit *> m_codeIds;
    QList<QLineEdit *> m_lengths;
    bool m_checking = false; // a duplicate message is up
};
