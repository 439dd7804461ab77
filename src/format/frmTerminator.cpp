#include "format/frmTerminator.h"

#include "core/Session.h"
#include "format/Terminators.h"
#include "platform/Twips.h"
#include "platform/Ui.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr int kKeyboardTab = 0;
constexpr int kRs232Tab = 1;

std::optional<int> selection(const QButtonGroup *group)
{
    const int id = group->checkedId();
    return id >= 0 ? std::optional<int>(id) : std::nullopt;
}

// A code without an option shows none, rather than an earlier choice.
void select(QButtonGroup *group, std::optional<int> option)
{
    if (option) {
        group->button(*option)->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

QPushButton *button(const QString &caption, const QString &name)
{
    auto *b = new QPushButton(caption);
    b->setObjectName(name);
    b->setMinimumWidth(twips(1215));
    return b;
}
} // namespace

frmTerminator::frmTerminator(Session &session, Ui &ui, QWidget *parent)
    : ChildWindow(parent), m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("frmTerminator"));
    setWindowTitle(QStringLiteral("Terminator"));

    Label1 = new QLabel(QStringLiteral("Terminator"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    makeHeading(Label1);

    Command1 = button(QStringLiteral("Accept"), QStringLiteral("Command1"));
    Command2 = button(QStringLiteral("Default"), QStringLiteral("Command2"));
    Command3 = button(QStringLiteral("Default"), QStringLiteral("Command3"));
    m_keyboard = new QButtonGroup(this);
    m_rs232 = new QButtonGroup(this);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(optionPage(m_keyboard, QStringLiteral("Option1"),
                              {QStringLiteral("NONE"), QStringLiteral("CR"), QStringLiteral("SPACE"),
                               QStringLiteral("TAB"), QStringLiteral("ESC"), QStringLiteral("CTRL-C"),
                               QStringLiteral("EXEC")},
                              Command2),
                   QStringLiteral("Keyboard"));
    SSTab1->addTab(optionPage(m_rs232, QStringLiteral("Option2"),
                              {QStringLiteral("NONE"), QStringLiteral("CR"), QStringLiteral("LF"),
                               QStringLiteral("CR/LF"), QStringLiteral("SPACE"), QStringLiteral("TAB"),
                               QStringLiteral("ESC"), QStringLiteral("CTRL-C"), QStringLiteral("STX.....ETX"),
                               QStringLiteral("XON.....XOFF"), QStringLiteral("EOT")},
                              Command3),
                   QStringLiteral("RS-232"));

    auto *acceptRow = new QHBoxLayout;
    acceptRow->addStretch();
    acceptRow->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(twips(240), twips(120), twips(240), twips(240));
    layout->addWidget(Label1);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(acceptRow);

    connect(Command1, &QPushButton::clicked, this, &frmTerminator::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmTerminator::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmTerminator::Command3_Click);
    // The interface decides the tab; the user cannot switch.
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index != interfaceTab())
            SSTab1->setCurrentIndex(interfaceTab());
    });
    connect(SSTab1, &QTabWidget::tabBarClicked, this, [this](int) { SSTab1->setCurrentIndex(interfaceTab()); });
}

QWidget *frmTerminator::optionPage(QButtonGroup *group, const QString &name, const QStringList &captions,
                                   QPushButton *defaultButton)
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(twips(360), twips(240), twips(240), twips(240));
    grid->setHorizontalSpacing(twips(720));
    const int rows = int(captions.size() + 1) / 2;
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions[i], page);
        option->setObjectName(QStringLiteral("%1(%2)").arg(name).arg(i));
        group->addButton(option, i);
        grid->addWidget(option, i % rows, i / rows);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(rows, 1);
    grid->addWidget(defaultButton, rows + 1, 3, Qt::AlignRight | Qt::AlignBottom);
    return page;
}

bool frmTerminator::load()
{
    // Leaving the window keeps what it shows.
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        connect(frame, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
            if ((before & Qt::WindowActive) && !(now & Qt::WindowActive))
                lostFocus();
        });
    return true;
}

int frmTerminator::interfaceTab() const
{
    return m_session.Rs232Interface ? kRs232Tab : kKeyboardTab;
}

void frmTerminator::loadControls()
{
    const quint8 *image = m_session.ParamImage.data();
    select(m_keyboard, Terminators::keyboardOptionFor(image[Terminators::KeyboardByte]));
    select(m_rs232, Terminators::rs232OptionFor(image[Terminators::Rs232Byte]));
    SSTab1->setCurrentIndex(interfaceTab());
}

bool frmTerminator::store()
{
    quint8 *image = m_session.ParamImage.data();
    const quint8 keyboard = image[Terminators::KeyboardByte];
    const quint8 rs232 = image[Terminators::Rs232Byte];
    Terminators::store(selection(m_keyboard), selection(m_rs232), image);
    return image[Terminators::KeyboardByte] != keyboard || image[Terminators::Rs232Byte] != rs232;
}

void frmTerminator::lostFocus()
{
    // The image now differs from the last file: the quit prompt must know.
    if (store())
        m_session.SettingsChanged = true;
}

void frmTerminator::Command1_Click()
{
    store();
    m_ui.messageBox(QStringLiteral("Terminator Setting O.K."), Ui::Buttons::Ok, Ui::Icon::None);
    m_session.SettingsChanged = true;
}

void frmTerminator::Command2_Click()
{
    if (!m_ui.confirmFactoryDefault(QStringLiteral("keyboard terminator setting")))
        return;
    m_keyboard->button(Terminators::FactoryOption)->setChecked(true);
    store();
    m_session.SettingsChanged = true;
}

void frmTerminator::Command3_Click()
{
    if (!m_ui.confirmFactoryDefault(QStringLiteral("RS-232 terminator setting")))
        return;
    m_rs232->button(Terminators::FactoryOption)->setChecked(true);
    store();
    m_session.SettingsChanged = true;
}

#include "moc_frmTerminator.cpp"
