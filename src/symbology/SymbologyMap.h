#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <span>
#include <vector>

class SymbologyControls;
struct Session;

// The symbology window's map onto the settings image, held as tables, and
// the load (image to controls) and store (controls to image) that walk them
// for one tab. Only the bits in the tables are read or written: other
// windows keep their bits in the shared bytes. The map never touches
// SettingsChanged; this window does not set it.
class SymbologyMap
{
public:
    static constexpr int TabCount = 18;
    static constexpr int CodeIdTab = 16;

    enum class Sense {
        Direct,    // checked = every bit of the mask set
        Inverted,  // checked = not every bit of the mask set
        WholeByte, // checked = the byte equals value; stores value or 0x00
    };

    struct CheckBoxBits
    {
        int tab;
        QString box;
        int byte;
        quint8 mask;
        Sense sense;
        quint8 value; // WholeByte only
    };

    struct BitField
    {
        int byte;
        quint8 mask;
    };

    struct OptionCode
    {
        QString option;
        std::vector<quint8> code;  // per field, bits in place
        std::vector<quint8> match; // per field, the bits of the field's mask load compares
    };

    struct OptionGroup
    {
        int tab;
        QString frame;
        std::vector<BitField> fields;
        // Load selects the first option whose match bits agree, in this
        // order; a code without an option leaves the frame showing none.
        std::vector<OptionCode> options;
        // Store writes the code of the first selected of storeTests, else
        // the code of storeFallback when that is selected; none selected
        // leaves the bits as they are.
        QStringList storeTests;
        QString storeFallback;

        const OptionCode *find(const QString &option) const;
    };

    // Three bytes from firstByte; the mode bit set means the user-defined
    // length (all three bytes), clear the fixed one (two bytes, third 0).
    struct LengthField
    {
        int tab;
        QString frame;
        int firstByte;
        BitField mode;
        QString fixedOption, fixedBox, fixedButton;
        QString userOption, userBox, userButton;
        bool keepWhenNoneSelected; // else none selected stores the user-defined box
    };

    struct CodeIdRow
    {
        int row;
        QString box;    // Check2(47 + row)
        QString text;   // TB(row)
        QString button; // CB4(row)
        int byte;       // -1 for Code 4, which has no byte
    };

    // A checked Enable box enables its dependents, an unchecked one disables
    // them; with lengthPair it also drives the tab's length boxes and buttons.
    struct EnableRule
    {
        int tab;
        QString box;
        QStringList dependents;
        bool lengthPair;
    };

    enum class StepKind { Check, Group, Length, CodeIds };
    struct Step
    {
        StepKind kind;
        QString name; // the box, or the frame of the group or length field
    };

    static const std::vector<CheckBoxBits> &checkBoxes();
    static const std::vector<OptionGroup> &optionGroups();
    static const std::vector<LengthField> &lengthFields();
    static const std::vector<CodeIdRow> &codeIds();
    static const std::vector<EnableRule> &enableRules();
    // The order in which Store writes a tab (Load goes check boxes, option
    // groups, length field, Code IDs, each in table order).
    static const std::vector<Step> &storeOrder(int tab);

    static const OptionGroup *group(const QString &frame);
    static const LengthField *lengthField(int tab);

    // Names the length box that refuses the field, or returns an empty string.
    using LengthCheck = std::function<QString(const SymbologyControls &, const LengthField &)>;
    // The fixed box must hold exactly 4 characters and then the user-defined
    // box exactly 6, whichever option is selected.
    static QString defaultLengthCheck(const SymbologyControls &controls, const LengthField &field);

    struct StoreResult
    {
        bool stored;
        QString refusedBox; // when not stored: the box for the message and the focus
        explicit operator bool() const { return stored; }
    };

    // An empty check puts back defaultLengthCheck.
    void setLengthCheck(LengthCheck check);

    // image holds at least the 128 bytes of the settings image. Tabs outside
    // 0-17, like tab 10, hold nothing to load or store.
    static void load(int tab, std::span<const quint8> image, SymbologyControls &controls);
    static void load(int tab, const Session &session, SymbologyControls &controls);
    // On tabs 1-4 the length check runs first: when it refuses, nothing of the
    // tab is written.
    StoreResult store(int tab, const SymbologyControls &controls, std::span<quint8> image) const;
    StoreResult store(int tab, const SymbologyControls &controls, Session &session) const;

private:
    LengthCheck m_lengthCheck = &SymbologyMap::defaultLengthCheck;
};
