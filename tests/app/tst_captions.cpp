// Every control the windows name carries the caption the user knows it by.
#include "app/MDIfrmMain.h"
#include "collect/Data.h"
#include "collect/frmDownLoad.h"
#include "collect/frmEnaDisMID.h"
#include "collect/frmEnaDisRTC.h"
#include "format/frmAmble.h"
#include "format/frmParameter.h"
#include "format/frmTerminator.h"
#include "format/sfrmASC.h"
#include "format/sfrmPad.h"
#include "link/frmChangePwd.h"
#include "link/frmPword.h"
#include "link/frmTransmit.h"
#include "platform/PortNames.h"
#include "platform/SerialPortsDialog.h"
#include "support/TestFiles.h"
#include "support/WindowTest.h"
#include "symbology/frmBarcode.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <map>

namespace {
struct Caption
{
    QString window;
    QString control; // empty: the window's own title
    QString text;    // a tab control's: its tab texts joined by "|"
};

// Per window, its named controls and their captions, "&&" included where a
// button shows one "&".
QList<Caption> captions()
{
    QList<Caption> table = {
        {"MDIfrmMain", "", "ZEV Setting Utility Ver. 1.10"},
        {"frmPword", "", "ZEV Utility: Login"},
        {"frmPword", "cmdOK", "OK"},
        {"frmPword", "cmdCancel", "Cancel"},
        {"frmPword", "lblVersion", "Ver. 1.75"},
        {"frmTransmit", "Command2", "Transmit"},
        {"frmChangePwd", "", "Change  Password"},
        {"frmChangePwd", "lblLabels(0)", "Current Password:"},
        {"frmChangePwd", "lblLabels(1)", "New Password:"},
        {"frmChangePwd", "Label1", "Confirm New Password:"},
        {"frmChangePwd", "cmdOK", "OK"},
        {"frmChangePwd", "cmdCancel", "Cancel"},
        {"frmDownLoad", "Label1", "Download Data From ZEV"},
        {"frmDownLoad", "optDDtH", "Download Data From ZEV"},
        {"frmDownLoad", "optEDiR", "Erase Data in ZEV"},
        {"frmDownLoad", "optCP", "Change Password"},
        {"frmDownLoad", "optEDRTC", "Enable/Disable Real Time Clock"},
        {"frmDownLoad", "optEDMID", "Enable/Disable Download Data With Machine ID"},
        {"frmDownLoad", "Frame1", "Download Data Status"},
        {"frmDownLoad", "Check1", "Real Time Clock"},
        {"frmDownLoad", "Check2", "Machine ID."},
        {"frmDownLoad", "cmdOK", "OK"},
        {"frmEnaDisRTC", "", "     ZEV Utility: Enable/Disable RTC"},
        {"frmEnaDisRTC", "chkSyncUpHostTime", "Sync Up with Host Time"},
        {"frmEnaDisMID", "", "     ZEV Utility: Enable/Disable Download Data With Machine ID"},
        {"Data", "", " Data"},
        {"Data", "mnuFile", "&File"},
        {"Data", "mnuSaveAs", "Save &As "},
        {"Data", "mnuExit", "E&xit "},
        {"Data", "mmPrint", "&Print"},
        {"Data", "mmuPrint", "&Print"},
        {"frmParameter", "Label1", "General Parameter "},
        {"frmParameter", "Label2", "Buzzer Pitch  : "},
        {"frmParameter", "Label3", "Buzzer Duration  : "},
        {"frmParameter", "Check1", "Power On Beeper"},
        {"frmParameter", "Check2", "Prefixing Machine ID for Tethered Scanning"},
        {"frmParameter", "Check3", "Enable 3 Sec. Scan Delay for Same Barcode"},
        {"frmParameter", "Option1(0)", "Upper Case"},
        {"frmParameter", "Option1(1)", "Lower Case"},
        {"frmParameter", "Option1(2)", "Universal"},
        {"frmParameter", "Option1(3)", "ALT Mode"},
        {"frmParameter", "Command1", "Accept"},
        {"frmParameter", "Command2", "Default"},
        {"frmTerminator", "Label1", "Terminator"},
        {"frmTerminator", "SSTab1", "Keyboard|RS-232"},
        {"frmTerminator", "Command1", "Accept"},
        {"frmTerminator", "Command2", "Default"},
        {"frmTerminator", "Command3", "Default"},
        {"frmAmble", "Label1", "Preamble & Postamble"},
        {"frmAmble", "Label2", "Preamble Setting :"},
        {"frmAmble", "Label3", "Postamble Setting :"},
        {"frmAmble", "Label4", "(Click button to set preamble character or postamble character )  "},
        {"frmAmble", "Command1", "Accept"},
        {"frmAmble", "Command2", "Default"},
        {"sfrmASC", "", "RS-232 Interface   ASCII Table"},
        {"frmBarcode", "SSTab1", "Code 39 / Code 32|Interleaved 2 of 5|Industrial 2 of 5 / IATA|Matrix 2 of 5|China Postage|Code 128|Code 11|Code 93|MSI- PLESSEY|CODABAR / NW7|CODE 4|EAN-13/ JAN-13|UPC-A|EAN-8 / JAN-8|UPC-E|ISBN/ISSN|Code ID Setting|WAND Type Parameters"},
        {"frmBarcode", "Frame1", "Code 39"},
        {"frmBarcode", "Check1(0)", "Enable"},
        {"frmBarcode", "Check1(1)", "Full ASCII"},
        {"frmBarcode", "Check1(2)", "Transmit Start / End Character"},
        {"frmBarcode", "Check1(3)", "Transmit Check Character"},
        {"frmBarcode", "Check1(4)", "Verify Checksum"},
        {"frmBarcode", "Frame2", "Code 32"},
        {"frmBarcode", "Check1(5)", "Enable"},
        {"frmBarcode", "Check1(6)", "Verify Strick"},
        {"frmBarcode", "Check2(0)", "Enable"},
        {"frmBarcode", "Check2(1)", "Transmit Check Character"},
        {"frmBarcode", "Check2(2)", "Verify Checksum"},
        {"frmBarcode", "Frame11(0)", "Barcode Length"},
        {"frmBarcode", "Check2(5)", "Enable"},
        {"frmBarcode", "Check2(4)", "Transmit Check Character"},
        {"frmBarcode", "Check2(3)", "Verify Checksum"},
        {"frmBarcode", "Check2(6)", "IATA"},
        {"frmBarcode", "Frame11(1)", "Barcode Length"},
        {"frmBarcode", "Check2(9)", "Enable"},
        {"frmBarcode", "Check2(8)", "Transmit Check Character"},
        {"frmBarcode", "Check2(7)", "Verify Checksum"},
        {"frmBarcode", "Frame11(2)", "Barcode Length"},
        {"frmBarcode", "Check2(12)", "Enable"},
        {"frmBarcode", "Check2(11)", "Transmit Check Character"},
        {"frmBarcode", "Check2(10)", "Verify Checksum"},
        {"frmBarcode", "Frame11(3)", "Barcode Length"},
        {"frmBarcode", "Check2(15)", "Enable"},
        {"frmBarcode", "Check2(14)", "Checkdigit (not send checkdigit)"},
        {"frmBarcode", "Check2(13)", "UCC / EAN / 128"},
        {"frmBarcode", "Check2(16)", "Enable"},
        {"frmBarcode", "Check2(17)", "Transmit Check Character."},
        {"frmBarcode", "Check2(18)", "Checkdigit"},
        {"frmBarcode", "Frame3", "Number of Check Character"},
        {"frmBarcode", "Option1(0)", "One"},
        {"frmBarcode", "Option1(1)", "Two"},
        {"frmBarcode", "Check2(20)", "Enable"},
        {"frmBarcode", "Check2(19)", "Checkdigit"},
        {"frmBarcode", "Check2(21)", "Enable"},
        {"frmBarcode", "Check2(22)", "Verify Checkdigit."},
        {"frmBarcode", "Frame4", "Enable MOD"},
        {"frmBarcode", "Option2(0)", "MOD 10-10"},
        {"frmBarcode", "Option2(1)", "MOD 10"},
        {"frmBarcode", "Option2(2)", "MOD 11-10"},
        {"frmBarcode", "Frame5", "Transmit/Truncate Checkdigit"},
        {"frmBarcode", "Option2(3)", "Truncate 1st && 2nd checkdigit."},
        {"frmBarcode", "Option2(4)", "Transmit checkdigit."},
        {"frmBarcode", "Option2(5)", "Truncate 1st checkdigit."},
        {"frmBarcode", "Check2(23)", "Enable"},
        {"frmBarcode", "Check2(24)", "Transmit Start/End Character."},
        {"frmBarcode", "Frame6", "Start/End Transmit Type"},
        {"frmBarcode", "Option3(0)", "ABCD/ABCD"},
        {"frmBarcode", "Option3(1)", "abcd/abcd"},
        {"frmBarcode", "Option3(2)", "ABCD/TN*E"},
        {"frmBarcode", "Option3(3)", "abcd/tn*e"},
        {"frmBarcode", "Check2(25)", "Enable"},
        {"frmBarcode", "Check2(26)", "Enable"},
        {"frmBarcode", "Check2(27)", "ADD-ON 2/5"},
        {"frmBarcode", "Check2(28)", "Transmit Check Character."},
        {"frmBarcode", "Check2(29)", "Truncate 1st digit."},
        {"frmBarcode", "Check2(30)", "Truncate 2nd digit."},
        {"frmBarcode", "Check2(31)", "Checkdigit."},
        {"frmBarcode", "Check2(32)", "Enable"},
        {"frmBarcode", "Check2(33)", "ADD-ON 2/5"},
        {"frmBarcode", "Check2(34)", "Transmit Check Character."},
        {"frmBarcode", "Check2(35)", "Truncate Leading Digit."},
        {"frmBarcode", "Check2(36)", "UPC-A Convert to EAN-13."},
        {"frmBarcode", "Check2(37)", "Enable"},
        {"frmBarcode", "Check2(38)", "ADD-ON 2/5"},
        {"frmBarcode", "Check2(39)", "Transmit Check Character."},
        {"frmBarcode", "Check2(40)", "Truncate Leading Digit."},
        {"frmBarcode", "Frame7", "EAN-8 Convert to EAN-13"},
        {"frmBarcode", "Option4(0)", "Enable 1            (add zeros in the front of barcode)"},
        {"frmBarcode", "Option4(1)", "Enable 2            (add zeros in the middle of barcode)"},
        {"frmBarcode", "Option4(2)", "Disable"},
        {"frmBarcode", "Check2(44)", "Enable"},
        {"frmBarcode", "Check2(41)", "Truncate Leading Digit."},
        {"frmBarcode", "Check2(42)", "Transmit Check Character."},
        {"frmBarcode", "Check2(43)", "ADD-ON 2/5"},
        {"frmBarcode", "Check2(45)", "UPC-E Convert to UPC-A"},
        {"frmBarcode", "Check2(46)", "Enable"},
        {"frmBarcode", "Frame8", "BAR"},
        {"frmBarcode", "Option5(0)", "BAR=LOW"},
        {"frmBarcode", "Option5(1)", "BAR=HIGH"},
        {"frmBarcode", "Frame9", "Scan Speed"},
        {"frmBarcode", "Option5(2)", "Low"},
        {"frmBarcode", "Option5(3)", "Lowest"},
        {"frmBarcode", "Option5(4)", "High"},
        {"frmBarcode", "Option5(5)", "Highest"},
        {"frmBarcode", "Frame10", "Data Format"},
        {"frmBarcode", "Option5(6)", "Transmit in Normal Format"},
        {"frmBarcode", "Option5(7)", "Tansmit in Code 128 Format"},
        {"frmBarcode", "Option5(8)", "Transmit in Code 39 Format"},
    };
    for (const char *window : {"frmEnaDisRTC", "frmEnaDisMID"}) {
        table << Caption{window, "optEnable", "Enable"} << Caption{window, "optDisable", "Disable"}
              << Caption{window, "cmdOK", "OK"} << Caption{window, "cmdCancel", "Cancel"};
    }
    const QStringList keyboard = {"NONE", "CR", "SPACE", "TAB", "ESC", "CTRL-C", "EXEC"};
    for (int i = 0; i < keyboard.size(); ++i)
        table << Caption{"frmTerminator", QStringLiteral("Option1(%1)").arg(i), keyboard[i]};
    const QStringList rs232 = {"NONE", "CR", "LF", "CR/LF", "SPACE", "TAB", "ESC", "CTRL-C", "STX.....ETX",
                               "XON.....XOFF", "EOT"};
    for (int i = 0; i < rs232.size(); ++i)
        table << Caption{"frmTerminator", QStringLiteral("Option2(%1)").arg(i), rs232[i]};
    const QStringList codeIds = {"Code 39 / Code 32", "Industrial 2 of 5", "China Postage", "Code 93", "MSI/PLESSEY",
                                 "EAN-13", "UPC-E", "Code 4", "Interleaved 2 of 5", "Matrix 2 of 5", "Code 128",
                                 "Code 11", "CODABAR / NW7", "EAN-8", "UPC-A"};
    for (int i = 0; i < codeIds.size(); ++i)
        table << Caption{"frmBarcode", QStringLiteral("Check2(%1)").arg(47 + i), codeIds[i]};
    for (int tab = 0; tab < 18; ++tab) {
        table << Caption{"frmBarcode", QStringLiteral("Command1(%1)").arg(tab), "Accept"}
              << Caption{"frmBarcode", QStringLiteral("Command2(%1)").arg(tab), "Default"};
    }
    return table;
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
    return face ? face->text(QAccessible::Name) : QString();
}

QString captionOf(QObject *o)
{
    if (auto *tabs = qobject_cast<QTabWidget *>(o)) {
        QStringList texts;
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
        return texts.join(QLatin1Char('|'));
    }
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(o))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(o))
        return g->title();
    if (auto *m = qobject_cast<QMenu *>(o))
        return m->title();
    if (auto *a = qobject_cast<QAction *>(o))
        return a->text();
    return QStringLiteral("(no caption)");
}
} // namespace

class TestCaptions : public WindowTest
{
    Q_OBJECT

private Q_SLOTS:
    void everyNamedControl()
    {
        resetRig(TestFiles::sourceDir());
        std::unique_ptr<SerialPort> loginPort = m_platform->makePort();
        const std::map<QString, std::unique_ptr<QWidget>> windows = allWindows(*loginPort);

        QStringList wrong;
        for (const Caption &c : captions()) {
            QWidget *window = windows.count(c.window) ? windows.at(c.window).get() : nullptr;
            QObject *control = !window || c.control.isEmpty() ? window : window->findChild<QObject *>(c.control);
            const QString shown = !control ? QStringLiteral("(missing)")
                                  : c.control.isEmpty() ? window->windowTitle()
                                                        : captionOf(control);
            if (shown != c.text)
                wrong << QStringLiteral("%1 %2: \"%3\", not \"%4\"").arg(c.window, c.control, shown, c.text);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
        verifyScript();
    }

    // What a screen reader says for each control that takes focus: never
    // nothing, and for a row of like controls, which one of the row.
    void everyFocusableControlHasAName()
    {
        resetRig(TestFiles::sourceDir());
        std::unique_ptr<SerialPort> loginPort = m_platform->makePort();
        const std::map<QString, std::unique_ptr<QWidget>> windows = allWindows(*loginPort);

        QStringList unnamed;
        for (const auto &[name, window] : windows) {
            for (QWidget *w : window->findChildren<QWidget *>()) {
                if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || w->window() != window.get())
                    continue;
                if (accessibleName(w).trimmed().isEmpty())
                    unnamed << QStringLiteral("%1 %2 (%3)").arg(name, w->objectName(), QString::fromLatin1(w->metaObject()->className()));
            }
        }
        // Row members say which one they are; boxes say their label's caption.
        const QList<Caption> named = {
            {"frmAmble", "Preamble(0)", "Preamble 1"},      {"frmAmble", "Text1(7)", "Preamble 8 code"},
            {"frmAmble", "Preamble(10)", "Postamble 1"},    {"frmAmble", "Text1(17)", "Postamble 8 code"},
            {"frmBarcode", "TB(0)", "Code 39 / Code 32 Code ID"}, {"frmBarcode", "CB4(14)", "UPC-A Code ID key pad"},
            {"frmBarcode", "Text1(1)", "Uset Define Length Setting"},
            {"frmChangePwd", "txtConfirmNewPwd", "Confirm New Password"},
            {"frmParameter", "Slider2", "Buzzer Duration"},  {"Data", "RichTextBox1", "Data"},
        };
        for (const Caption &c : named) {
            auto *w = windows.at(c.window)->findChild<QWidget *>(c.control);
            if (!w || accessibleName(w) != c.text)
                unnamed << QStringLiteral("%1 %2: \"%3\", not \"%4\"").arg(c.window, c.control, w ? accessibleName(w) : QString(), c.text);
        }
        for (const QString &u : unnamed)
            qWarning("no name: %s", qPrintable(u));
        QCOMPARE(unnamed.size(), 0);
        verifyScript();
    }

private:
    PortNames m_names{nullptr};

    std::map<QString, std::unique_ptr<QWidget>> allWindows(SerialPort &loginPort)
    {
        std::map<QString, std::unique_ptr<QWidget>> windows;
        auto add = [&](QWidget *w) { windows[w->objectName()].reset(w); };
        add(new MDIfrmMain(m_session, *m_platform));
        add(new frmPword(m_session, m_ui, loginPort, m_clock));
        add(new frmTransmit(m_session, *m_platform));
        add(new frmChangePwd(m_session, *m_platform));
        add(new frmDownLoad(m_session, *m_platform));
        add(new frmEnaDisRTC(m_session, *m_platform, {}));
        add(new frmEnaDisMID(m_session));
        add(new Data(m_ui));
        add(new frmParameter(m_session, m_ui));
        add(new frmTerminator(m_session, m_ui));
        add(new frmAmble(m_session, m_ui));
        add(new sfrmASC(m_session));
        add(new frmBarcode(m_session, *m_platform));
        add(new sfrmPad(m_session));
        add(new SerialPortsDialog(m_names, 1, [] { return QList<PortInfo>{}; }));
        return windows;
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
