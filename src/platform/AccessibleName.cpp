#include "platform/AccessibleName.h"

#include <QLabel>
#include <QRegularExpression>

QString AccessibleName::spoken(const QString &caption)
{
    QString text = caption;
    text.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
    text = text.simplified();
    while (text.endsWith(QLatin1Char(':')))
        text = text.chopped(1).trimmed();
    return text;
}

void AccessibleName::byLabel(QLabel *label, QWidget *control)
{
    label->setBuddy(control);
    set(control, label->text());
}

void AccessibleName::set(QWidget *control, const QString &caption)
{
    control->setAccessibleName(spoken(caption));
}
