#pragma once

#include <QDialog>
#include <array>

class QPushButton;
struct Session;

// The hexadecimal key pad: digits collect in the title bar; Enter hands them
// back through PadResult.
class sfrmPad : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Keys = 19;
    static constexpr int BackKey = 16;
    static constexpr int ClearKey = 17;
    static constexpr int EnterKey = 18;

    explicit sfrmPad(Session &session, QWidget *parent = nullptr);

    QPushButton *CB(int index) const { return m_keys[size_t(index)]; }
    bool Entered = false;
    // What has been keyed so far (the title bar shows it).
    QString entry() const { return m_entry; }

    // A left-pointing key with a cross: the backspace picture.
    static QIcon backspaceIcon();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    // Arrows move among the keys; typed digits and Backspace work the keys.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CB_Click(int index);
    void showEntry(const QString &entry);
    // The key at a place of the pad's 5 x 4 grid (Enter takes the last two places of the last row).
    QPushButton *keyAt(int row, int column) const;

    Session &m_session;
    std::array<QPushButton *, Keys> m_keys{};
    QString m_entry;
};
