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

Q_SIGNALS:
    void MenuItemClick(int group, int item);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolBox *m_menu;
};
