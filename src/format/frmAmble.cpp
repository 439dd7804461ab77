#include "format/frmAmble.h"

#include "core/Session.h"
#include "format/AmbleStrings.h"
#include "format/ByteText.h"
#include "format/sfrmASC.h"
#include "platform/AccessibleName.h"
#include "platform/Twips.h"
#include "platform/Ui.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kButtonTop = 5200;   // twips
constexpr int kAcceptLeft = 4480;  // twips
constexpr int kDefaultLeft = 6480; // twips
constexpr int kButtonWidth = 1215; // twips
constexpr int kCellWidth = 750;    // twips, at least

QPushButton *commandButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->resize(button->sizeHint().expandedTo(QSize(twips(kButtonWidth), 0)));
    return button;
}
} // namespace

frmAmble::frmAmble(Session &session, Ui &ui, QWidget *parent) : ChildWindow(parent), m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("frmAmble"));
    setWindowTitle(QStringLiteral("Preamble & Postamble"));

    m_content = new QWidget(this);
    Label1 = new QLabel(QStringLiteral("Preamble & Postamble"), m_content);
    Label1->setObjectName(QStringLiteral("Label1"));
    makeHeading(Label1);
    Label2 = new QLabel(QStringLiteral("Preamble Setting :"), m_content);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Postamble Setting :"), m_content);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(QStringLiteral("(Click button to set preamble character or postamble character )  "), m_content);
    Label4->setObjectName(QStringLiteral("Label4"));

    auto *preamble = new QGridLayout;
    auto *postamble = new QGridLayout;
    for (int k = 0; k < CellIndices; ++k) {
        if (!isCell(k))
            continue;
        auto *button = new QPushButton(m_content);
        button->setObjectName(QStringLiteral("Preamble(%1)").arg(k));
        button->setToolTip(QStringLiteral("Click mouse right button to clear"));
        button->setMinimumWidth(twips(kCellWidth));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setAutoDefault(false);
        button->installEventFilter(this);
        button->setContextMenuPolicy(Qt::PreventContextMenu); // the right button clears
        connect(button, &QPushButton::clicked, this, [this, k]() { Preamble_MouseDown(k, Qt::LeftButton); });
        // The code beneath its character; set only by picking, clearing and Default.
        auto *code = new QLineEdit(QStringLiteral("&H00"), m_content);
        code->setObjectName(QStringLiteral("Text1(%1)").arg(k));
        code->setReadOnly(true);
        code->setAlignment(Qt::AlignCenter);
        code->setMinimumWidth(twips(kCellWidth));
        // Read as the row and place it sets, the box as that place's code.
        const QString place = QStringLiteral("%1 %2").arg(k < 8 ? QStringLiteral("Preamble") : QStringLiteral("Postamble")).arg(k % 10 + 1);
        AccessibleName::set(button, place);
        AccessibleName::set(code, place + QStringLiteral(" code"));
        Preamble[size_t(k)] = button;
        Text1[size_t(k)] = code;
        QGridLayout *row = k < 8 ? preamble : postamble;
        row->addWidget(button, 0, k % 10);
        row->addWidget(code, 1, k % 10);
    }

    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(twips(240), twips(120), twips(240), 0);
    layout->addWidget(Label1);
    layout->addSpacing(twips(120));
    layout->addWidget(Label2);
    layout->addLayout(preamble);
    layout->addSpacing(twips(120));
    layout->addWidget(Label3);
    layout->addLayout(postamble);
    layout->addSpacing(twips(240));
    layout->addWidget(Label4);
    layout->addStretch();

    Command1 = commandButton(QStringLiteral("Accept"), QStringLiteral("Command1"), this);
    Command2 = commandButton(QStringLiteral("Default"), QStringLiteral("Command2"), this);
    connect(Command1, &QPushButton::clicked, this, &frmAmble::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAmble::Command2_Click);
}

void frmAmble::resizeEvent(QResizeEvent *event)
{
    ChildWindow::resizeEvent(event);
    m_content->setGeometry(0, 0, width(), twips(kButtonTop) - twips(60));
}

bool frmAmble::eventFilter(QObject *watched, QEvent *event)
{
    // A left click arrives as the button's click; every other button clears at once.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        const auto button = static_cast<QMouseEvent *>(event)->button();
        if (button != Qt::LeftButton)
            for (int k = 0; k < CellIndices; ++k)
                if (Preamble[size_t(k)] && Preamble[size_t(k)] == watched) {
                    Preamble_MouseDown(k, button);
                    return true;
                }
    }
    return ChildWindow::eventFilter(watched, event);
}

QString frmAmble::clearedCaption() const
{
    return m_session.Rs232Interface ? QStringLiteral("NULL") : QString();
}

void frmAmble::loadCells()
{
    Command2->move(twips(kDefaultLeft), twips(kButtonTop));
    Command1->move(twips(kAcceptLeft), twips(kButtonTop));
    for (int cell = 0; cell < AmbleStrings::Cells; ++cell) {
        const int k = cellIndex(cell);
        const quint8 code = m_session.ParamImage[size_t(AmbleStrings::byteOf(cell))];
        Text1[size_t(k)]->setText(ByteText::hexText(code));
        Preamble[size_t(k)]->setText(AmbleStrings::caption(code, m_session.Rs232Interface));
    }
}

void frmAmble::Preamble_MouseDown(int k, Qt::MouseButton button)
{
    // The ASCII table names RS-232 characters.
    m_session.Rs232Interface = true;
    if (button == Qt::LeftButton) {
        m_session.PickedCode.clear();
        m_session.PickedName.clear();
        {
            sfrmASC table(m_session, this);
            m_ui.showModal(table);
        }
        if (m_session.PickedName.isEmpty())
            return;
        Preamble[size_t(k)]->setText(AmbleStrings::escapedCaption(m_session.PickedName));
        Text1[size_t(k)]->setText(QStringLiteral("&H") + m_session.PickedCode);
        return;
    }
    Preamble[size_t(k)]->setText(clearedCaption());
    Text1[size_t(k)]->setText(QStringLiteral("0"));
}

bool frmAmble::store()
{
    std::array<QString, AmbleStrings::Cells> texts;
    for (int cell = 0; cell < AmbleStrings::Cells; ++cell)
        texts[size_t(cell)] = Text1[size_t(cellIndex(cell))]->text();
    const AmbleStrings::Failure failure = AmbleStrings::store(texts, m_session.ParamImage.data());
    if (failure.kind == AmbleStrings::Failure::None)
        return true;
    const int k = cellIndex(failure.cell);
    if (failure.kind == AmbleStrings::Failure::Range) {
        m_ui.messageBox(QStringLiteral("Value must be 0~255"), Ui::Buttons::Ok, Ui::Icon::None);
        QLineEdit *box = Text1[size_t(k)];
        box->setSelection(0, int(box->text().size()));
        box->setFocus();
        return false;
    }
    m_ui.messageBox(failure.kind == AmbleStrings::Failure::PreambleGap ? QStringLiteral("Invalid Preamble string setting")
                                                                       : QStringLiteral("Invalid Postamble string setting"),
                    Ui::Buttons::Ok, Ui::Icon::Critical);
    Preamble[size_t(k)]->setFocus();
    return false;
}

void frmAmble::Command1_Click()
{
    if (!store())
        return;
    m_ui.messageBox(QStringLiteral("Preamble or Postamble Data Setting O.K."), Ui::Buttons::Ok, Ui::Icon::None);
    m_session.SettingsChanged = true;
}

void frmAmble::Command2_Click()
{
    if (!m_ui.confirmFactoryDefault(QStringLiteral("preamble and postamble setting")))
        return;
    m_session.SettingsChanged = true;
    for (int cell = 0; cell < AmbleStrings::Cells; ++cell) {
        const int k = cellIndex(cell);
        Text1[size_t(k)]->setText(QStringLiteral("&H00"));
        Preamble[size_t(k)]->setText(clearedCaption());
    }
    AmbleStrings::clear(m_session.ParamImage.data());
}

#include "moc_frmAmble.cpp"
