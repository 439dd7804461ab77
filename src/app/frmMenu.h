#pragma once

#include <QWidget>

class QToolBox;
class QListWidget;

// The navigation pane: a vertical group menu (File, Setting, Transmit, Download).
class frmMenu : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PaneItemWidth = 1700; // twips

    explicit frmMenu(QWidget *parent = nullptr);

    QToolBox *VerticalMenu1() const { return m_menu; }
    QListWidget *group(int oneBasedGroup) const;
    int currentGroup() const; // 1-based
    void selectItem(int oneBasedGroup, int oneBasedItem);
    // Adds an item at the end of a group; returns its 1-based index.
    int addItem(int oneBasedGroup, const QString &caption, const QIcon &icon);
    // Puts the keyboard in the pane, on the current group's current item.
    void focusMenu();
    static inline const QString FocusKey = QStringLiteral("F6");

Q_SIGNALS:
    void MenuItemClick(int group, int item);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Arrows go on into the next or previous group at either end of one.
    void moveToGroup(int oneBasedGroup, bool first);

    QToolBox *m_menu;
};
