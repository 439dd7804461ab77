#pragma once

#include <QString>

#include <vector>

class SymbologyControls;

// The values the symbology window's Default button puts into one tab's
// controls. The image is not touched: the values reach it only through Accept.
class SymbologyDefaults
{
public:
    enum class Action { Check, Uncheck, Select, SetText, Enable, Disable };
    struct Step
    {
        Action action;
        QString control;
        QString text; // SetText only
    };

    // In the order they are applied. A check box whose value changes and an
    // option that is selected run their click handling; the explicit enabled
    // states then apply on top.
    static const std::vector<Step> &steps(int tab);
    static void apply(int tab, SymbologyControls &controls);
};
