#include "symbology/frmBarcode.h"

#include "platform/AccessibleName.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <vector>

// The Barcode window's tabs and their controls, built once.

namespace {

QString indexed(const char *array, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(index);
}

// The picture on the buttons that open the hexadecimal key pad: a small key pad.
QIcon padIcon()
{
    QPixmap pixmap(13, 13);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            p.drawRect(col * 5, row * 5, 3, 3);
    return QIcon(pixmap);
}

QVBoxLayout *column(QWidget *parent)
{
    auto *layout = new QVBoxLayout(parent);
    layout->setAlignment(Qt::AlignTop);
    return layout;
}

} // namespace

QWidget *frmBarcode::addPage(int tab, const QString &caption)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("Page(%1)").arg(tab));
    auto *body = new QWidget(page);
    body->setObjectName(QStringLiteral("Body(%1)").arg(tab));
    Command1[size_t(tab)] = new QPushButton(QStringLiteral("Accept"), page);
    Command1[size_t(tab)]->setObjectName(indexed("Command1", tab));
    Command2[size_t(tab)] = new QPushButton(QStringLiteral("Default"), page);
    Command2[size_t(tab)]->setObjectName(indexed("Command2", tab));
    connect(Command1[size_t(tab)], &QPushButton::clicked, this, [this, tab]() { Command1_Click(tab); });
    connect(Command2[size_t(tab)], &QPushButton::clicked, this, [this, tab]() { Command2_Click(tab); });
    m_pages[size_t(tab)] = page;
    m_bodies[size_t(tab)] = body;
    page->installEventFilter(this);
    SSTab1->addTab(page, caption);
    return body;
}

template <typename Button>
QString frmBarcode::enlist(Button *button, std::span<Button *> array, const char *arrayName, int index)
{
    const QString name = indexed(arrayName, index);
    button->setObjectName(name);
    array[size_t(index)] = button;
    m_enablable.insert(name, button);
    connect(button, &Button::clicked, this, [this, name]() { controlClicked(name); });
    return name;
}

QCheckBox *frmBarcode::makeCheck(std::span<QCheckBox *> array, const char *arrayName, int index,
                                 const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    m_checks.insert(enlist(box, array, arrayName, index), box);
    return box;
}

QRadioButton *frmBarcode::makeOption(std::span<QRadioButton *> array, const char *arrayName, int index,
                                     const QString &caption, QWidget *parent)
{
    auto *option = new QRadioButton(caption, parent);
    const QString frame = SymbologyControls::frameOf(enlist(option, array, arrayName, index));
    Q_ASSERT(!frame.isEmpty());
    QButtonGroup *&group = m_groups[frame];
    if (!group)
        group = new QButtonGroup(this);
    group->addButton(option);
    return option;
}

QGroupBox *frmBarcode::makeFrame(const QString &name, const QString &title, QWidget *parent)
{
    auto *frame = new QGroupBox(title, parent);
    frame->setObjectName(name);
    m_enablable.insert(name, frame);
    return frame;
}

QLineEdit *frmBarcode::makeHexBox(std::span<QLineEdit *> array, const char *arrayName, int index, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    const QString name = indexed(arrayName, index);
    box->setObjectName(name);
    const int max = SymbologyControls::maxLength(name);
    Q_ASSERT(max > 0);
    box->setMaxLength(max);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QString(max + 1, QLatin1Char('D'))) + 12);
    array[size_t(index)] = box;
    m_boxes.insert(name, box);
    m_enablable.insert(name, box);
    return box;
}

QPushButton *frmBarcode::makePadButton(std::span<QPushButton *> array, const char *arrayName, int index,
                                       QWidget *parent)
{
    const QIcon icon = padIcon();
    auto *button = new QPushButton(parent);
    const QString name = indexed(arrayName, index);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setFixedSize(22, 22);
    button->setToolTip(QStringLiteral("Hexadecimal key pad"));
    array[size_t(index)] = button;
    m_enablable.insert(name, button);
    return button;
}

void frmBarcode::nameHexRow(QLineEdit *box, QPushButton *pad, const QString &caption)
{
    AccessibleName::set(box, caption);
    AccessibleName::set(pad, AccessibleName::spoken(caption) + QStringLiteral(" key pad"));
}

QWidget *frmBarcode::lengthFrame(int k, QWidget *parent)
{
    // The fixed option of the first tab comes first in its array; on the others the user-defined one does.
    const int fixedOption = k == 0 ? 0 : 2 * k + 1;
    const int userOption = k == 0 ? 1 : 2 * k;
    QGroupBox *frame = makeFrame(indexed("Frame11", k), QStringLiteral("Barcode Length"), parent);
    Frame11[size_t(k)] = frame;
    auto *grid = new QGridLayout(frame);
    auto row = [&](int r, int option, const QString &caption, int box) {
        grid->addWidget(makeOption(Option6, "Option6", option, caption, frame), r, 0, Qt::AlignLeft);
        grid->addWidget(makeHexBox(Text1, "Text1", box, frame), r, 1);
        grid->addWidget(makePadButton(Command3, "Command3", box, frame), r, 2);
        nameHexRow(Text1[size_t(box)], Command3[size_t(box)], caption);
        auto *hex = new QLabel(QStringLiteral("(Hex)"), frame);
        hex->setObjectName(indexed("Label2", box));
        grid->addWidget(hex, r, 3);
    };
    row(0, fixedOption, QStringLiteral("Barcode Length Setting :"), 2 * k);
    row(1, userOption, QStringLiteral("Uset Define Length Setting :"), 2 * k + 1);
    grid->setColumnStretch(4, 1);
    return frame;
}

void frmBarcode::buildTabs()
{
    using Captions = std::vector<std::pair<int, const char *>>;
    auto checks = [this](QVBoxLayout *layout, QWidget *parent, const Captions &list) {
        for (const auto &[index, caption] : list)
            layout->addWidget(makeCheck(Check2, "Check2", index, QString::fromLatin1(caption), parent), 0, Qt::AlignLeft);
    };
    auto options = [this](std::span<QRadioButton *> array, const char *arrayName, QGroupBox *frame,
                          const Captions &list) {
        auto *layout = column(frame);
        for (const auto &[index, caption] : list)
            layout->addWidget(makeOption(array, arrayName, index, QString::fromLatin1(caption), frame), 0, Qt::AlignLeft);
    };

    { // 0
        QWidget *body = addPage(0, QStringLiteral("Code 39 / Code 32"));
        auto *layout = new QHBoxLayout(body);
        QGroupBox *code39 = makeFrame(QStringLiteral("Frame1"), QStringLiteral("Code 39"), body);
        auto *c39 = column(code39);
        const char *captions[] = {"Enable", "Full ASCII", "Transmit Start / End Character", "Transmit Check Character",
                                  "Verify Checksum"};
        for (int i = 0; i < 5; ++i)
            c39->addWidget(makeCheck(Check1, "Check1", i, QString::fromLatin1(captions[i]), code39), 0, Qt::AlignLeft);
        QGroupBox *code32 = makeFrame(QStringLiteral("Frame2"), QStringLiteral("Code 32"), body);
        auto *c32 = column(code32);
        c32->addWidget(makeCheck(Check1, "Check1", 5, QStringLiteral("Enable"), code32), 0, Qt::AlignLeft);
        c32->addWidget(makeCheck(Check1, "Check1", 6, QStringLiteral("Verify Strick"), code32), 0, Qt::AlignLeft);
        layout->addWidget(code39, 0, Qt::AlignTop);
        layout->addWidget(code32, 0, Qt::AlignTop);
        layout->addStretch();
    }
    // 1 to 4: three or four check boxes over the length frame.
    const Captions lengthTabs[] = {
        {{0, "Enable"}, {1, "Transmit Check Character"}, {2, "Verify Checksum"}},
        {{5, "Enable"}, {4, "Transmit Check Character"}, {3, "Verify Checksum"}, {6, "IATA"}},
        {{9, "Enable"}, {8, "Transmit Check Character"}, {7, "Verify Checksum"}},
        {{12, "Enable"}, {11, "Transmit Check Character"}, {10, "Verify Checksum"}},
    };
    const char *lengthCaptions[] = {"Interleaved 2 of 5", "Industrial 2 of 5 / IATA", "Matrix 2 of 5", "China Postage"};
    for (int k = 0; k < 4; ++k) {
        QWidget *body = addPage(k + 1, QString::fromLatin1(lengthCaptions[k]));
        auto *layout = column(body);
        checks(layout, body, lengthTabs[k]);
        layout->addSpacing(6);
        layout->addWidget(lengthFrame(k, body), 0, Qt::AlignLeft);
    }
    { // 5
        QWidget *body = addPage(5, QStringLiteral("Code 128"));
        checks(column(body), body, {{15, "Enable"}, {14, "Checkdigit (not send checkdigit)"}, {13, "UCC / EAN / 128"}});
    }
    { // 6
        QWidget *body = addPage(6, QStringLiteral("Code 11"));
        auto *layout = column(body);
        checks(layout, body, {{16, "Enable"}, {17, "Transmit Check Character."}, {18, "Checkdigit"}});
        QGroupBox *frame = makeFrame(QStringLiteral("Frame3"), QStringLiteral("Number of Check Character"), body);
        options(Option1, "Option1", frame, {{0, "One"}, {1, "Two"}});
        layout->addSpacing(6);
        layout->addWidget(frame, 0, Qt::AlignLeft);
    }
    { // 7
        QWidget *body = addPage(7, QStringLiteral("Code 93"));
        checks(column(body), body, {{20, "Enable"}, {19, "Checkdigit"}});
    }
    { // 8
        QWidget *body = addPage(8, QStringLiteral("MSI- PLESSEY"));
        auto *layout = column(body);
        checks(layout, body, {{21, "Enable"}, {22, "Verify Checkdigit."}});
        QGroupBox *mod = makeFrame(QStringLiteral("Frame4"), QStringLiteral("Enable MOD"), body);
        options(Option2, "Option2", mod, {{0, "MOD 10-10"}, {1, "MOD 10"}, {2, "MOD 11-10"}});
        QGroupBox *digit = makeFrame(QStringLiteral("Frame5"), QStringLiteral("Transmit/Truncate Checkdigit"), body);
        options(Option2, "Option2", digit,
                {{3, "Truncate 1st && 2nd checkdigit."}, {4, "Transmit checkdigit."}, {5, "Truncate 1st checkdigit."}});
        auto *frames = new QHBoxLayout;
        frames->addWidget(mod, 0, Qt::AlignTop);
        frames->addWidget(digit, 0, Qt::AlignTop);
        frames->addStretch();
        layout->addSpacing(6);
        layout->addLayout(frames);
    }
    { // 9
        QWidget *body = addPage(9, QStringLiteral("CODABAR / NW7"));
        auto *layout = column(body);
        checks(layout, body, {{23, "Enable"}, {24, "Transmit Start/End Character."}});
        QGroupBox *frame = makeFrame(QStringLiteral("Frame6"), QStringLiteral("Start/End Transmit Type"), body);
        options(Option3, "Option3", frame, {{0, "ABCD/ABCD"}, {1, "abcd/abcd"}, {2, "ABCD/TN*E"}, {3, "abcd/tn*e"}});
        layout->addSpacing(6);
        layout->addWidget(frame, 0, Qt::AlignLeft);
    }
    { // 10
        QWidget *body = addPage(10, QStringLiteral("CODE 4"));
        checks(column(body), body, {{25, "Enable"}});
    }
    { // 11
        QWidget *body = addPage(11, QStringLiteral("EAN-13/ JAN-13"));
        checks(column(body), body,
               {{26, "Enable"}, {27, "ADD-ON 2/5"}, {28, "Transmit Check Character."}, {29, "Truncate 1st digit."},
                {30, "Truncate 2nd digit."}, {31, "Checkdigit."}});
    }
    { // 12
        QWidget *body = addPage(12, QStringLiteral("UPC-A"));
        checks(column(body), body,
               {{32, "Enable"}, {33, "ADD-ON 2/5"}, {34, "Transmit Check Character."}, {35, "Truncate Leading Digit."},
                {36, "UPC-A Convert to EAN-13."}});
    }
    { // 13
        QWidget *body = addPage(13, QStringLiteral("EAN-8 / JAN-8"));
        auto *layout = column(body);
        checks(layout, body,
               {{37, "Enable"}, {38, "ADD-ON 2/5"}, {39, "Transmit Check Character."}, {40, "Truncate Leading Digit."}});
        QGroupBox *frame = makeFrame(QStringLiteral("Frame7"), QStringLiteral("EAN-8 Convert to EAN-13"), body);
        options(Option4, "Option4", frame,
                {{0, "Enable 1            (add zeros in the front of barcode)"},
                 {1, "Enable 2            (add zeros in the middle of barcode)"},
                 {2, "Disable"}});
        layout->addSpacing(6);
        layout->addWidget(frame, 0, Qt::AlignLeft);
    }
    { // 14
        QWidget *body = addPage(14, QStringLiteral("UPC-E"));
        checks(column(body), body,
               {{44, "Enable"}, {41, "Truncate Leading Digit."}, {42, "Transmit Check Character."}, {43, "ADD-ON 2/5"},
                {45, "UPC-E Convert to UPC-A"}});
    }
    { // 15
        QWidget *body = addPage(15, QStringLiteral("ISBN/ISSN"));
        checks(column(body), body, {{46, "Enable"}});
    }
    { // 16: fifteen rows in two columns
        QWidget *body = addPage(16, QStringLiteral("Code ID Setting"));
        auto *grid = new QGridLayout(body);
        grid->setVerticalSpacing(2);
        grid->setHorizontalSpacing(4);
        const char *names[] = {"Code 39 / Code 32", "Industrial 2 of 5", "China Postage", "Code 93", "MSI/PLESSEY",
                               "EAN-13", "UPC-E", "Code 4", "Interleaved 2 of 5", "Matrix 2 of 5", "Code 128",
                               "Code 11", "CODABAR / NW7", "EAN-8", "UPC-A"};
        for (int i = 0; i < 15; ++i) {
            const int row = i % 8;
            const int col = (i / 8) * 5;
            grid->addWidget(makeCheck(Check2, "Check2", 47 + i, QString::fromLatin1(names[i]), body), row, col,
                            Qt::AlignLeft);
            grid->addWidget(makeHexBox(TB, "TB", i, body), row, col + 1);
            grid->addWidget(makePadButton(CB4, "CB4", i, body), row, col + 2);
            nameHexRow(TB[size_t(i)], CB4[size_t(i)], QString::fromLatin1(names[i]) + QStringLiteral(" Code ID"));
            auto *hex = new QLabel(QStringLiteral("(Hex)"), body);
            hex->setObjectName(indexed("Label1", i));
            grid->addWidget(hex, row, col + 3);
        }
        grid->setColumnMinimumWidth(4, 12);
        grid->setColumnStretch(4, 1);
        grid->setColumnStretch(9, 1);
        grid->setRowStretch(8, 1);
    }
    { // 17
        QWidget *body = addPage(17, QStringLiteral("WAND Type Parameters"));
        auto *grid = new QGridLayout(body);
        QGroupBox *bar = makeFrame(QStringLiteral("Frame8"), QStringLiteral("BAR"), body);
        options(Option5, "Option5", bar, {{0, "BAR=LOW"}, {1, "BAR=HIGH"}});
        QGroupBox *speed = makeFrame(QStringLiteral("Frame9"), QStringLiteral("Scan Speed"), body);
        options(Option5, "Option5", speed, {{2, "Low"}, {3, "Lowest"}, {4, "High"}, {5, "Highest"}});
        QGroupBox *format = makeFrame(QStringLiteral("Frame10"), QStringLiteral("Data Format"), body);
        options(Option5, "Option5", format,
                {{6, "Transmit in Normal Format"}, {7, "Tansmit in Code 128 Format"}, {8, "Transmit in Code 39 Format"}});
        grid->addWidget(bar, 0, 0, Qt::AlignTop);
        grid->addWidget(speed, 0, 1, Qt::AlignTop);
        grid->addWidget(format, 0, 2, Qt::AlignTop);
        grid->setColumnStretch(3, 1);
        grid->setRowStretch(1, 1);
    }
}
