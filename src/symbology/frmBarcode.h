#pragma once

#include "core/ChildWindow.h"
#include "symbology/SymbologyControls.h"
#include "symbology/SymbologyMap.h"

#include <QHash>
#include <QString>

#include <array>
#include <span>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
struct Session;
struct Platform;
class HexBoxes;

// The symbology settings window: one tab per symbology or group, each with its
// own Accept and Default. The widgets mirror one SymbologyControls for the
// window's lifetime; the map loads and stores through it.
class frmBarcode : public ChildWindow
{
    Q_OBJECT
public:
    static constexpr int TabCount = SymbologyMap::TabCount;

    frmBarcode(Session &session, Platform &platform, QWidget *parent = nullptr);
    ~frmBarcode() override;

    bool load() override;
    void activate() override;
    void showFirstPage() override;

    void Command1_Click(int tab); // Accept
    void Command2_Click(int tab); // Default

    // The characters the hexadecimal boxes take.
    const QString &hexCharacters() const { return m_hexCharacters; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildTabs();
    QWidget *addPage(int tab, const QString &caption);
    // Names a check box or option button, keeps it in its array and among the
    // controls the rules enable, and passes its clicks on; returns its name.
    template <typename Button>
    QString enlist(Button *button, std::span<Button *> array, const char *arrayName, int index);
    QCheckBox *makeCheck(std::span<QCheckBox *> array, const char *arrayName, int index, const QString &caption,
                         QWidget *parent);
    QRadioButton *makeOption(std::span<QRadioButton *> array, const char *arrayName, int index,
                             const QString &caption, QWidget *parent);
    QGroupBox *makeFrame(const QString &name, const QString &title, QWidget *parent);
    QLineEdit *makeHexBox(std::span<QLineEdit *> array, const char *arrayName, int index, QWidget *parent);
    // A hexadecimal box and its pad are read by what the row sets.
    static void nameHexRow(QLineEdit *box, QPushButton *pad, const QString &caption);
    QPushButton *makePadButton(std::span<QPushButton *> array, const char *arrayName, int index, QWidget *parent);
    QWidget *lengthFrame(int k, QWidget *parent);
    QWidget *codeIdRow(int i, QWidget *parent);

    void tabActivated(int tab);
    void placeButtons(int tab);
    void controlClicked(const QString &name);
    void readWidgets();
    void showControls();

    Session &m_session;
    Platform &m_platform;
    SymbologyControls m_controls;
    SymbologyMap m_map;
    HexBoxes *m_hexBoxes = nullptr;
    QString m_hexCharacters;

    QTabWidget *SSTab1 = nullptr;
    std::array<QWidget *, TabCount> m_pages{};
    std::array<QWidget *, TabCount> m_bodies{};
    std::array<QPushButton *, TabCount> Command1{};
    std::array<QPushButton *, TabCount> Command2{};
    std::array<QCheckBox *, 7> Check1{};
    std::array<QCheckBox *, 62> Check2{};
    std::array<QRadioButton *, 2> Option1{};
    std::array<QRadioButton *, 6> Option2{};
    std::array<QRadioButton *, 4> Option3{};
    std::array<QRadioButton *, 3> Option4{};
    std::array<QRadioButton *, 9> Option5{};
    std::array<QRadioButton *, 8> Option6{};
    std::array<QLineEdit *, 8> Text1{};
    std::array<QLineEdit *, 15> TB{};
    std::array<QPushButton *, 8> Command3{};
    std::array<QPushButton *, 15> CB4{};
    std::array<QGroupBox *, 4> Frame11{};

    // By objectName, for copying to and from m_controls.
    QHash<QString, QCheckBox *> m_checks;
    QHash<QString, QLineEdit *> m_boxes;
    QHash<QString, QButtonGroup *> m_groups; // option frame -> its buttons
    QHash<QString, QWidget *> m_enablable;   // every control whose enabled state the rules set
};
