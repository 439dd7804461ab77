#include "symbology/frmBarcode.h"

#include "core/Platform.h"
#include "symbology/HexBoxes.h"
#include "core/Session.h"
#include "platform/Twips.h"
#include "platform/Ui.h"
#include "symbology/SymbologyDefaults.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>


namespace {

// Accept and Default sit at the same place on every tab, in the tab control's coordinates.
constexpr int kAcceptLeft = 3780;
constexpr int kDefaultLeft = 5775;
constexpr int kButtonsTop = 5160;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;

} // namespace

frmBarcode::frmBarcode(Session &session, Platform &platform, QWidget *parent)
    : ChildWindow(parent), m_session(session), m_platform(platform)
{
    setObjectName(QStringLiteral("frmBarcode"));
    setWindowTitle(QStringLiteral("Barcode"));

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    // Eighteen captions are far wider than the window: one row that scrolls.
    SSTab1->setUsesScrollButtons(true);
    SSTab1->setElideMode(Qt::ElideNone);
    buildTabs();
    connect(SSTab1, &QTabWidget::currentChanged, this, &frmBarcode::tabActivated);
    m_hexBoxes = new HexBoxes(session, platform.ui, this);
    m_hexBoxes->attach(*this);
}

frmBarcode::~frmBarcode() = default;


bool frmBarcode::load()
{
    SSTab1->setCurrentIndex(0);
    m_hexCharacters = QStringLiteral("0123456789ABCDEF");
    return true;
}

void frmBarcode::activate()
{
    tabActivated(SSTab1->currentIndex());
}

void frmBarcode::showFirstPage()
{
    if (SSTab1->currentIndex() != 0)
        SSTab1->setCurrentIndex(0); // the tab change loads it
    else
        tabActivated(0);
}

void frmBarcode::resizeEvent(QResizeEvent *event)
{
    ChildWindow::resizeEvent(event);
    const int left = twips(50);
    SSTab1->setGeometry(left, 0, qMax(0, width() - left), height());
}

bool frmBarcode::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        for (int tab = 0; tab < TabCount; ++tab)
            if (watched == m_pages[size_t(tab)])
                placeButtons(tab);
    }
    return ChildWindow::eventFilter(watched, event);
}

void frmBarcode::placeButtons(int tab)
{
    QWidget *page = m_pages[size_t(tab)];
    const QSize size(twips(kButtonWidth), twips(kButtonHeight));
    const QPoint accept = page->mapFrom(SSTab1, QPoint(twips(kAcceptLeft), twips(kButtonsTop)));
    const QPoint byDefault = page->mapFrom(SSTab1, QPoint(twips(kDefaultLeft), twips(kButtonsTop)));
    Command1[size_t(tab)]->setGeometry(QRect(accept, size));
    Command2[size_t(tab)]->setGeometry(QRect(byDefault, size));
    // The tab's own controls fill what is above the buttons.
    m_bodies[size_t(tab)]->setGeometry(0, 0, page->width(), qMax(0, accept.y() - 4));
}

void frmBarcode::tabActivated(int tab)
{
    if (tab < 0 || tab >= TabCount)
        return;
    placeButtons(tab);
    readWidgets();
    SymbologyMap::load(tab, m_session, m_controls);
    showControls();
}

void frmBarcode::controlClicked(const QString &name)
{
    readWidgets();
    m_controls.click(name);
    showControls();
}

void frmBarcode::Command1_Click(int tab)
{
    readWidgets();
    const SymbologyMap::StoreResult result = m_map.store(tab, m_controls, m_session);
    if (!result) {
        // A box of the option not selected is disabled and cannot take the focus; it is still refused.
        m_hexBoxes->reportLengthFailure(result.refusedBox);
        return;
    }
    m_platform.ui.messageBox(QStringLiteral("O.K. "), Ui::Buttons::Ok, Ui::Icon::Information);
}

void frmBarcode::Command2_Click(int tab)
{
    if (!m_platform.ui.confirmFactoryDefault(QStringLiteral("settings")))
        return;
    readWidgets();
    SymbologyDefaults::apply(tab, m_controls);
    showControls();
}

void frmBarcode::readWidgets()
{
    for (auto it = m_checks.cbegin(); it != m_checks.cend(); ++it)
        m_controls.setChecked(it.key(), it.value()->isChecked());
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        if (QAbstractButton *selected = it.value()->checkedButton())
            m_controls.setSelected(selected->objectName(), true);
        else
            m_controls.clearSelection(it.key());
    }
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it)
        m_controls.setText(it.key(), it.value()->text());
}

void frmBarcode::showControls()
{
    for (auto it = m_checks.cbegin(); it != m_checks.cend(); ++it)
        it.value()->setChecked(m_controls.isChecked(it.key()));
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        const QString selected = m_controls.selectedOption(it.key());
        QButtonGroup *group = it.value();
        if (selected.isEmpty()) {
            // An exclusive group cannot uncheck its last button.
            group->setExclusive(false);
            for (QAbstractButton *b : group->buttons())
                b->setChecked(false);
            group->setExclusive(true);
            continue;
        }
        for (QAbstractButton *b : group->buttons())
            if (b->objectName() == selected)
                b->setChecked(true);
    }
    for (auto it = m_boxes.cbegin(); it != m_boxes.cend(); ++it) {
        const QString text = m_controls.text(it.key());
        if (it.value()->text() != text)
            it.value()->setText(text);
    }
    for (auto it = m_enablable.cbegin(); it != m_enablable.cend(); ++it)
        it.value()->setEnabled(m_controls.isEnabled(it.key()));
}

#include "moc_frmBarcode.cpp"
