#pragma once

#include "app/FileCommands.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QTableWidget;
class QToolBox;
class ChildWindow;
class frmMenu;
struct Session;
struct Platform;

// The main window: the navigation pane on the left, one child window at a time
// to its right; the menu's File commands live in FileCommands.
class MDIfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    // Outer size in twips; it cannot be changed.
    static constexpr int OuterWidth = 10410;
    static constexpr int OuterHeight = 6510;
    static constexpr int PaneWidth = 2145;

    MDIfrmMain(Session &session, Platform &platform, QWidget *parent = nullptr);
    ~MDIfrmMain() override;

    using ChildFactory = std::function<ChildWindow *()>;
    // The windows the menu opens, by name ("frmBarcode", "frmTransmit", ...).
    void registerChild(const QString &name, ChildFactory factory);

    // Menu item click, 1-based group and item as the menu delivers them.
    void VerticalMenu1_MenuItemClick(int group, int item);

    // Shows the named child (bringing it forward when open); nullptr when it
    // closed itself while loading.
    ChildWindow *showChild(const QString &name, bool focus = true);
    ChildWindow *child(const QString &name) const;
    QRect childArea() const; // where frmBase and every menu window sit
    QTableWidget *Dtable() const { return m_dtable; }

    bool programEnded() const { return m_ended; }
    const FileCommands &files() const { return m_files; }

Q_SIGNALS:
    void ended();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Tab goes on from the last control of the pane or of a child into the other.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void endProgram();
    // No exchange runs, or the user agreed to stop it.
    bool mayStopExchange();
    void stopExchangeForGood();
    void focusBase();
    void placeChild(QMdiSubWindow *frame);
    void showSymbologyFirstPage();
    QMdiSubWindow *addFrame(QWidget *widget, const QString &name);

    Session &m_session;
    Platform &m_platform;
    QMdiArea *m_area;
    QMdiSubWindow *m_menuFrame;
    QMdiSubWindow *m_baseFrame;
    QToolBox *m_menu;
    QTableWidget *m_dtable;
    QMap<QString, ChildFactory> m_factories;
    QMap<QString, QPointer<QMdiSubWindow>> m_children; // null once a child has closed
    QPointer<QMdiSubWindow> m_lastActive; // the child whose activation ran last
    QPointer<QMdiSubWindow> m_lastChild;  // the same, the pane left out
    frmMenu *m_pane;
    FileCommands m_files;
    bool m_ended = false;
};
