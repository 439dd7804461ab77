#pragma once

#include "app/ChildWindow.h"

// Stands in for a menu window that this version does not have yet.
class Placeholder : public ChildWindow
{
    Q_OBJECT
public:
    explicit Placeholder(const QString &windowName, QWidget *parent = nullptr);
};
