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
        // "*.*" means every file, as on Windows; to QFileDialog it would mean "the
        // name holds a dot" and hide the files saved under the suggested name.
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            if (pattern.trimmed() == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        // QFileDialog reads the patterns from the last parentheses; the label is
        // shown as given (the dialog hides those details).
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
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
