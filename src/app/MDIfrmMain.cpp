#include "app/MDIfrmMain.h"

#include "core/ChildWindow.h"
#include "app/FlagStore.h"
#include "core/Platform.h"
#include "core/Session.h"
#include "app/frmMenu.h"
#include "platform/AccessibleName.h"
#include "platform/Clock.h"
#include "platform/Twips.h"
#include "platform/Ui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QListWidget>
#include <QShortcut>
#include <QTableWidget>
#include <QToolBox>
#include <QVBoxLayout>

namespace {
const QString kStopAndExit = QStringLiteral("The program is still talking to the scanner. Stop that and exit?");
// The frame around the inner area of a fixed-size window: borders and caption, in pixels.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 31;

// Which window each menu item shows: (group, item) -> name.
QString windowForItem(int group, int item)
{
    if (group == 2 && item == 1)
        return QStringLiteral("frmBarcode");
    if (group == 2 && item == 2)
        return QStringLiteral("frmParameter");
    if (group == 2 && item == 3)
        return QStringLiteral("frmAmble");
    if (group == 2 && item == 4)
        return QStringLiteral("frmTerminator");
    if (group == 3 && item == 1)
        return QStringLiteral("frmTransmit");
    if (group == 4 && item == 1)
        return QStringLiteral("frmDownLoad");
    return QString();
}
} // namespace

MDIfrmMain::MDIfrmMain(Session &session, Platform &platform, QWidget *parent)
    : QMainWindow(parent), m_session(session), m_platform(platform),
      m_files(session, platform,
              {[this]() {
                   m_dtable->hide();
                   focusBase();
               },
               [this]() { showSymbologyFirstPage(); }})
{
    setObjectName(QStringLiteral("MDIfrmMain"));
    setWindowTitle(QStringLiteral("ZEV Setting Utility Ver. 1.10"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(twips(OuterWidth) - kFrameWidth, twips(OuterHeight) - kFrameHeight);

    m_area = new QMdiArea(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(m_area);

    // Loading: restore the download-format flags, then the pane and the background.
    restoreFlags(m_session, m_platform.store);

    auto *pane = new frmMenu;
    m_pane = pane;
    m_menu = pane->VerticalMenu1();
    m_menuFrame = addFrame(pane, QStringLiteral("frmMenu"));
    m_menuFrame->setGeometry(0, 0, twips(PaneWidth), height());
    connect(pane, &frmMenu::MenuItemClick, this, &MDIfrmMain::VerticalMenu1_MenuItemClick);
    // Keys for the pane and for File Open and Save.
    connect(new QShortcut(QKeySequence(frmMenu::FocusKey), this), &QShortcut::activated, this, [this, pane]() {
        m_area->setActiveSubWindow(m_menuFrame);
        pane->focusMenu();
    });
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            [this]() { VerticalMenu1_MenuItemClick(1, 2); });
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            [this]() { VerticalMenu1_MenuItemClick(1, 3); });
    pane->group(1)->item(1)->setToolTip(QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText));
    pane->group(1)->item(2)->setToolTip(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText));

    auto *base = new QWidget;
    base->setObjectName(QStringLiteral("frmBase"));
    m_dtable = new QTableWidget(base);
    m_dtable->setObjectName(QStringLiteral("Dtable"));
    AccessibleName::set(base, QStringLiteral("Background"));
    AccessibleName::set(m_dtable, QStringLiteral("Table"));
    m_dtable->setTabKeyNavigation(false); // Tab leaves it
    // An empty grid has no current cell to show the focus on: its border shows it.
    m_dtable->setStyleSheet(QStringLiteral("QTableWidget:focus { border: 2px solid palette(highlight); }"));
    auto *layout = new QVBoxLayout(base);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_dtable);
    m_baseFrame = addFrame(base, QStringLiteral("frmBase"));
    m_baseFrame->setGeometry(childArea());
    m_menuFrame->show();
    m_baseFrame->show();
    qApp->installEventFilter(this);

    connect(m_area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *frame) {
        // The area lets go of its active child while another top-level window (a message box)
        // is active and hands it back afterwards: that is no change of child, and reloading
        // there would throw away what the box's answer just did (a settings window's Default).
        if (frame && frame != m_menuFrame)
            m_lastChild = frame;
        if (!frame || frame == m_lastActive)
            return;
        m_lastActive = frame;
        if (auto *child = qobject_cast<ChildWindow *>(frame->widget()))
            child->activate();
    });
}

MDIfrmMain::~MDIfrmMain() = default;

namespace {
// The controls of frame that Tab stops at, in the order it goes.
QList<QWidget *> tabStops(QMdiSubWindow *frame)
{
    QList<QWidget *> stops;
    for (QWidget *w = frame->nextInFocusChain(); w && w != frame; w = w->nextInFocusChain()) {
        if (frame->isAncestorOf(w) && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            stops << w;
    }
    return stops;
}
} // namespace

bool MDIfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool back = key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && key->modifiers() & Qt::ShiftModifier);
    if ((key->key() != Qt::Key_Tab && !back) || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    QWidget *focused = QApplication::focusWidget();
    if (!focused || focused != watched || !isAncestorOf(focused))
        return false;
    QMdiSubWindow *frame = nullptr;
    for (QWidget *w = focused; w && !frame; w = w->parentWidget())
        frame = qobject_cast<QMdiSubWindow *>(w);
    if (!frame)
        return false;
    const QList<QWidget *> stops = tabStops(frame);
    if (!stops.isEmpty() && focused != (back ? stops.first() : stops.last()))
        return false;
    if (frame == m_menuFrame) {
        QMdiSubWindow *child = m_lastChild ? m_lastChild.data() : m_baseFrame;
        const QList<QWidget *> into = child->isVisible() ? tabStops(child) : QList<QWidget *>();
        if (into.isEmpty())
            return true; // nothing else takes the focus: it stays in the pane
        m_area->setActiveSubWindow(child);
        (back ? into.last() : into.first())->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    } else {
        m_area->setActiveSubWindow(m_menuFrame);
        m_pane->focusMenu();
    }
    return true;
}

QMdiSubWindow *MDIfrmMain::addFrame(QWidget *widget, const QString &name)
{
    QMdiSubWindow *frame = m_area->addSubWindow(widget, Qt::FramelessWindowHint);
    frame->setObjectName(name + QStringLiteral("Frame"));
    // A frame is read by its title; it shows none.
    if (frame->windowTitle().isEmpty())
        frame->setWindowTitle(AccessibleName::spoken(widget->accessibleName()));
    return frame;
}

QRect MDIfrmMain::childArea() const
{
    const int pane = twips(PaneWidth);
    const int inner = m_area->width() > 0 ? width() : 0;
    const int w = inner - pane > 0 ? inner - pane : twips(OuterWidth) - kFrameWidth - pane;
    return QRect(pane, 0, w, height());
}

void MDIfrmMain::placeChild(QMdiSubWindow *frame)
{
    frame->setGeometry(childArea());
}

void MDIfrmMain::registerChild(const QString &name, ChildFactory factory)
{
    m_factories[name] = std::move(factory);
}

ChildWindow *MDIfrmMain::child(const QString &name) const
{
    QMdiSubWindow *frame = m_children.value(name);
    return frame ? qobject_cast<ChildWindow *>(frame->widget()) : nullptr;
}

ChildWindow *MDIfrmMain::showChild(const QString &name, bool focus)
{
    QMdiSubWindow *frame = m_children.value(name);
    if (!frame) {
        const auto factory = m_factories.value(name);
        if (!factory)
            return nullptr;
        ChildWindow *widget = factory();
        widget->setObjectName(name);
        frame = addFrame(widget, name);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        m_children[name] = frame;
        placeChild(frame);
        if (!widget->load()) {
            m_children.remove(name);
            frame->close();
            return nullptr;
        }
    }
    frame->show();
    frame->raise();
    if (focus)
        m_area->setActiveSubWindow(frame);
    return child(name);
}

void MDIfrmMain::focusBase()
{
    m_area->setActiveSubWindow(m_baseFrame);
    m_baseFrame->raise();
}

void MDIfrmMain::VerticalMenu1_MenuItemClick(int group, int item)
{
    // While an exchange runs the file commands start nothing; Exit asks first.
    if (group == 1 && item != 4 && m_platform.clock.gate().busy())
        return;
    m_session.LastMenuItem = qint16(item);
    if (group == 1) {
        switch (item) {
        case 1: m_files.fileDefault(); break;
        case 2: m_files.fileOpen(); break;
        case 3: m_files.fileSave(); break;
        case 4:
            if (mayStopExchange() && m_files.fileExit())
                endProgram();
            break;
        }
        return;
    }
    if (group == 4 && item == 2) {
        if (m_platform.showCollectedRecords)
            m_platform.showCollectedRecords(this);
        return;
    }
    const QString name = windowForItem(group, item);
    if (name.isEmpty())
        return;
    if (group == 3 || group == 4) {
        // The data-side dialogs come up over the plain background.
        focusBase();
        showChild(name, m_session.LoggedIn);
        return;
    }
    showChild(name);
}

void MDIfrmMain::showSymbologyFirstPage()
{
    if (m_factories.contains(QStringLiteral("frmBarcode"))) {
        const bool wasOpen = child(QStringLiteral("frmBarcode")) != nullptr;
        ChildWindow *barcode = wasOpen ? child(QStringLiteral("frmBarcode"))
                                       : showChild(QStringLiteral("frmBarcode"), false);
        if (barcode) {
            barcode->showFirstPage();
            if (!wasOpen)
                m_children.value(QStringLiteral("frmBarcode"))->hide();
        }
    }
    focusBase();
}

bool MDIfrmMain::mayStopExchange()
{
    return !m_platform.clock.gate().busy()
        || m_platform.ui.messageBox(kStopAndExit, Ui::Buttons::YesNo, Ui::Icon::Exclamation, QString(),
                                    BoxOptions{QString(), true})
               == Ui::Answer::Yes;
}

void MDIfrmMain::stopExchangeForGood()
{
    // The running exchange ends at its next wait, and no wait follows.
    if (m_platform.clock.gate().busy())
        m_platform.clock.gate().stopForGood();
}

void MDIfrmMain::endProgram()
{
    // Every deliberate way out keeps the user's download-format choice.
    storeFlags(m_session, m_platform.store);
    m_ended = true;
    stopExchangeForGood();
    Q_EMIT ended();
    close();
}

void MDIfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    if (!mayStopExchange()) {
        event->ignore();
        return;
    }
    storeFlags(m_session, m_platform.store);
    if (!m_session.SettingsChanged || m_files.mayClose()) {
        m_ended = true;
        stopExchangeForGood();
        Q_EMIT ended();
        event->accept();
    } else {
        event->ignore();
    }
}

void MDIfrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
}

#include "moc_MDIfrmMain.cpp"
