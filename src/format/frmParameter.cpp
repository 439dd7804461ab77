#include "format/frmParameter.h"

#include "core/Session.h"
#include "format/ByteText.h"
#include "format/GeneralParameters.h"
#include "platform/AccessibleName.h"
#include "platform/Twips.h"
#include "platform/Ui.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace GP = GeneralParameters;

namespace {
constexpr int kButtonTop = 5200;    // twips
constexpr int kAcceptLeft = 4480;   // twips
constexpr int kDefaultLeft = 6480;  // twips
constexpr int kButtonWidth = 1215;  // twips

QSlider *buzzerSlider(const QString &name, QWidget *parent)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(0, 255);
    slider->setSingleStep(1);
    slider->setPageStep(10);
    return slider;
}

QPushButton *commandButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->resize(button->sizeHint().expandedTo(QSize(twips(kButtonWidth), 0)));
    return button;
}
} // namespace

frmParameter::frmParameter(Session &session, Ui &ui, QWidget *parent)
    : ChildWindow(parent), m_session(session), m_ui(ui)
{
    setObjectName(QStringLiteral("frmParameter"));
    setWindowTitle(QStringLiteral("General Parameter"));

    // Accept and Default sit at fixed places; everything else above them.
    m_content = new QWidget(this);
    Label1 = new QLabel(QStringLiteral("General Parameter "), m_content);
    Label1->setObjectName(QStringLiteral("Label1"));
    makeHeading(Label1);

    Label2 = new QLabel(QStringLiteral("Buzzer Pitch  : "), m_content);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Buzzer Duration  : "), m_content);
    Label3->setObjectName(QStringLiteral("Label3"));
    Text1 = new QLineEdit(QStringLiteral("22"), m_content);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2 = new QLineEdit(QStringLiteral("4"), m_content);
    Text2->setObjectName(QStringLiteral("Text2"));
    for (QLineEdit *box : {Text1, Text2})
        box->setFixedWidth(twips(900));
    Slider1 = buzzerSlider(QStringLiteral("Slider1"), m_content);
    Slider2 = buzzerSlider(QStringLiteral("Slider2"), m_content);
    AccessibleName::byLabel(Label2, Text1);
    AccessibleName::byLabel(Label3, Text2);
    AccessibleName::set(Slider1, Label2->text());
    AccessibleName::set(Slider2, Label3->text());

    auto *caseFrame = new QGroupBox(m_content);
    caseFrame->setObjectName(QStringLiteral("Frame1"));
    m_caseGroup = new QButtonGroup(this);
    auto *caseLayout = new QGridLayout(caseFrame);
    const QStringList cases{QStringLiteral("Upper Case"), QStringLiteral("Lower Case"), QStringLiteral("Universal"),
                            QStringLiteral("ALT Mode")};
    for (int i = 0; i < GP::CaseOptions; ++i) {
        auto *option = new QRadioButton(cases[i], caseFrame);
        option->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        m_caseGroup->addButton(option, i);
        caseLayout->addWidget(option, i / 2, i % 2);
        Option1[size_t(i)] = option;
    }
    Option1[GP::AltMode]->setEnabled(false);

    Check1 = new QCheckBox(QStringLiteral("Power On Beeper"), m_content);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setEnabled(false); // shown, not chosen here
    Check2 = new QCheckBox(QStringLiteral("Prefixing Machine ID for Tethered Scanning"), m_content);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check3 = new QCheckBox(QStringLiteral("Enable 3 Sec. Scan Delay for Same Barcode"), m_content);
    Check3->setObjectName(QStringLiteral("Check3"));

    auto *buzzer = new QGridLayout;
    buzzer->addWidget(Label2, 0, 0);
    buzzer->addWidget(Text1, 0, 1);
    buzzer->addWidget(Slider1, 0, 2);
    buzzer->addWidget(Label3, 1, 0);
    buzzer->addWidget(Text2, 1, 1);
    buzzer->addWidget(Slider2, 1, 2);
    buzzer->setColumnStretch(2, 1);
    buzzer->setHorizontalSpacing(twips(120));

    auto *layout = new QVBoxLayout(m_content);
    layout->setContentsMargins(twips(240), twips(120), twips(240), 0);
    layout->addWidget(Label1);
    layout->addSpacing(twips(120));
    layout->addLayout(buzzer);
    layout->addSpacing(twips(120));
    layout->addWidget(caseFrame);
    layout->addWidget(Check1);
    layout->addWidget(Check2);
    layout->addWidget(Check3);
    layout->addStretch();

    Command1 = commandButton(QStringLiteral("Accept"), QStringLiteral("Command1"), this);
    Command2 = commandButton(QStringLiteral("Default"), QStringLiteral("Command2"), this);

    connect(Slider1, &QSlider::valueChanged, this, [this](int v) {
        if (!m_settingSlider)
            Text1->setText(QString::number(v));
    });
    connect(Slider2, &QSlider::valueChanged, this, [this](int v) {
        if (!m_settingSlider)
            Text2->setText(QString::number(v));
    });
    connect(Text1, &QLineEdit::textChanged, this, [this]() { textChanged(Text1, Slider1); });
    connect(Text2, &QLineEdit::textChanged, this, [this]() { textChanged(Text2, Slider2); });
    connect(Command1, &QPushButton::clicked, this, &frmParameter::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmParameter::Command2_Click);
}

void frmParameter::resizeEvent(QResizeEvent *event)
{
    ChildWindow::resizeEvent(event);
    m_content->setGeometry(0, 0, width(), twips(kButtonTop) - twips(60));
}

void frmParameter::textChanged(QLineEdit *box, QSlider *slider)
{
    // Text that is no byte leaves the slider where it was.
    const std::optional<quint8> value = box->text().isEmpty() ? std::optional<quint8>(0) : ByteText::decimal(box->text());
    if (!value)
        return;
    m_settingSlider = true;
    slider->setValue(*value);
    m_settingSlider = false;
}

void frmParameter::loadControls()
{
    Command1->move(twips(kAcceptLeft), twips(kButtonTop));
    Command2->move(twips(kDefaultLeft), twips(kButtonTop));
    const quint8 *image = m_session.ParamImage.data();
    const GP::Controls c = GP::load(image);
    Text1->setText(c.pitch);
    Text2->setText(c.duration);
    Slider1->setValue(image[GP::PitchByte]);
    Slider2->setValue(image[GP::DurationByte]);
    if (c.caseOption) {
        Option1[size_t(*c.caseOption)]->setChecked(true);
    } else {
        // A code without an option shows none, rather than an earlier choice.
        m_caseGroup->setExclusive(false);
        for (QRadioButton *option : Option1)
            option->setChecked(false);
        m_caseGroup->setExclusive(true);
    }
    Check1->setChecked(c.beeper);
    Check2->setChecked(c.prefixMachineId);
    Check3->setChecked(c.scanDelay);
}

void frmParameter::Command1_Click()
{
    GP::Controls c;
    c.pitch = Text1->text();
    c.duration = Text2->text();
    const int checked = m_caseGroup->checkedId();
    if (checked >= 0)
        c.caseOption = checked;
    c.beeper = Check1->isChecked();
    c.prefixMachineId = Check2->isChecked();
    c.scanDelay = Check3->isChecked();

    const GP::Failure failure = GP::store(c, m_session.ParamImage.data());
    if (failure != GP::Failure::None) {
        QLineEdit *box = failure == GP::Failure::Pitch ? Text1 : Text2;
        m_ui.messageBox(QStringLiteral("Value must be 0~255"), Ui::Buttons::Ok, Ui::Icon::None);
        box->setSelection(0, int(box->text().size()));
        box->setFocus();
        return;
    }
    for (QLineEdit *box : {Text1, Text2})
        if (box->text().isEmpty())
            box->setText(QStringLiteral("0"));
    m_ui.messageBox(QStringLiteral("General Parameter Setting O.K."), Ui::Buttons::Ok, Ui::Icon::None);
    m_session.SettingsChanged = true;
}

void frmParameter::Command2_Click()
{
    if (!m_ui.confirmFactoryDefault(QStringLiteral("general parameter setting")))
        return;
    GP::setDefaults(m_session.ParamImage.data());
    m_session.SettingsChanged = true;
    loadControls();
}

#include "moc_frmParameter.cpp"
