#include "platform/Ui.h"

QString Ui::effectiveTitle(const QString &title)
{
    return title.isEmpty() ? QStringLiteral("ZEV") : title;
}

QStringList Ui::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        // QFileDialog reads the patterns from the parentheses; add them when the label lacks them.
        if (!label.contains(QLatin1Char('(')))
            label += QStringLiteral(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')');
        filters << label;
    }
    return filters;
}

bool Ui::confirmFactoryDefault(const QString &what)
{
    return messageBox(QStringLiteral("Current ") + what
                          + QStringLiteral(" will be changed to factory default. Are you sure ?(Y/N) "),
                      Buttons::YesNo, Icon::Information, QStringLiteral("Preamble & Postamble"))
        == Answer::Yes;
}
