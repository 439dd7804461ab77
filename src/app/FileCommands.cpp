#include "app/FileCommands.h"

#include "core/Platform.h"
#include "core/Session.h"
#include "image/FactoryDefaults.h"
#include "image/SettingsFile.h"
#include "platform/Clock.h"

#include <QDate>
#include <QLocale>

namespace {
const QString kFileFilter = QStringLiteral("All Files (*.*)|*.*|ZEV Scanner Data Files (*.msr)|*.msr");
const QString kCloseFilter = QStringLiteral("All Files (*.*)|*.*|ZEV Data Files (*.msr)|*.msr");
const QString kNotSaved = QStringLiteral("Data not saved ! ");
const QString kCantChange = QStringLiteral("Can't change to default value.");
} // namespace

FileCommands::FileCommands(Session &session, Platform &platform, MainWindowHooks hooks)
    : m_session(session), m_platform(platform), m_hooks(std::move(hooks))
{
}

QString FileCommands::suggestedFileName(const QDate &date, double secondsSinceMidnight, const QLocale &locale)
{
    QString datePart = locale.toString(date, QLocale::ShortFormat).remove(QLatin1Char('/'));
    datePart = datePart.mid(2);
    const QString seconds = QString::number(secondsSinceMidnight, 'g', 7).left(4);
    return QStringLiteral("M") + datePart + seconds;
}

QString FileCommands::suggestedFileName() const
{
    const double seconds = m_platform.clock.secondsSinceMidnight();
    return suggestedFileName(m_platform.clock.now().date(), seconds, QLocale::system());
}

bool FileCommands::loadFactoryDefaults()
{
    return LoadFactoryDefaults(m_session, m_platform.factoryDir);
}

void FileCommands::fileDefault()
{
    m_hooks.clear();
    Ui &ui = m_platform.ui;
    if (m_session.SettingsChanged) {
        if (ui.messageBox(QStringLiteral("Current Data will be changed to factory default value. Are you sure ? "),
                          Ui::Buttons::YesNo, Ui::Icon::Information, QStringLiteral("New"))
            != Ui::Answer::Yes)
            return;
        // Unsaved settings stay as they are when the factory file cannot be read.
        if (loadFactoryDefaults())
            ui.messageBox(QStringLiteral("All Data has been changed to factory default value ! "), Ui::Buttons::Ok,
                          Ui::Icon::None, QStringLiteral("New"));
        else
            ui.messageBox(kCantChange, Ui::Buttons::Ok, Ui::Icon::Critical);
        return;
    }
    if (!loadFactoryDefaults()) {
        ui.messageBox(kCantChange, Ui::Buttons::Ok, Ui::Icon::Critical);
        return;
    }
    ui.messageBox(QStringLiteral("All Data has been changed to default value ! "), Ui::Buttons::Ok, Ui::Icon::None,
                  QStringLiteral("New"));
    m_session.SettingsChanged = false;
    m_hooks.reloaded();
}

void FileCommands::fileOpen()
{
    m_hooks.clear();
    Ui &ui = m_platform.ui;
    const Ui::FileAnswer answer = ui.openFileDialog({kFileFilter, 2, QString()});
    if (answer.cancelled) {
        ui.messageBox(QStringLiteral("File not opened ! "), Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Open"));
        return;
    }
    if (answer.fileName.isEmpty())
        return;
    QString reason;
    switch (OpenSettingsFile(m_session, answer.fileName, &reason)) {
    case OpenResult::Loaded:
        ui.messageBox(QStringLiteral("O.K."), Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("Open"));
        m_session.SettingsChanged = false;
        break;
    case OpenResult::Refused:
        ui.messageBox(QStringLiteral("Can't open file ! "), Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Open"),
                      BoxOptions{.detail = reason});
        break;
    case OpenResult::ReadError:
        ui.messageBox(QStringLiteral("File not opened ! "), Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Open"),
                      BoxOptions{.detail = reason});
        break;
    }
}

FileCommands::SaveOutcome FileCommands::saveThroughDialog(const QString &filter)
{
    Ui &ui = m_platform.ui;
    const Ui::FileAnswer answer = ui.saveFileDialog({filter, 2, suggestedFileName()});
    if (answer.cancelled)
        return SaveOutcome::Cancelled;
    if (answer.fileName.isEmpty())
        return SaveOutcome::NoName;
    switch (SaveSettingsFile(m_session, ui, answer.fileName)) {
    case SaveResult::Saved:
        ui.messageBox(QStringLiteral("O.K."), Ui::Buttons::Ok, Ui::Icon::None, QStringLiteral("Save"));
        return SaveOutcome::Saved;
    case SaveResult::NotSaved:
        return SaveOutcome::NotSaved;
    case SaveResult::Error:
        break;
    }
    return SaveOutcome::Error;
}

void FileCommands::fileSave()
{
    m_hooks.clear();
    switch (saveThroughDialog(kFileFilter)) {
    case SaveOutcome::Saved:
        m_session.SettingsChanged = false;
        break;
    case SaveOutcome::NoName:
        break;
    case SaveOutcome::NotSaved:
    case SaveOutcome::Cancelled:
    case SaveOutcome::Error:
        m_platform.ui.messageBox(kNotSaved, Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Save"));
        break;
    }
}

Ui::Answer FileCommands::askToSave()
{
    return m_platform.ui.messageBox(QStringLiteral("Do you want to save your setting ? (Y/N) "),
                                    Ui::Buttons::YesNoCancel, Ui::Icon::Information);
}

bool FileCommands::fileExit()
{
    if (!m_session.SettingsChanged)
        return true;
    const Ui::Answer a = askToSave();
    if (a == Ui::Answer::Cancel)
        return false;
    if (a == Ui::Answer::Yes && saveThroughDialog(kFileFilter) == SaveOutcome::NotSaved)
        m_platform.ui.messageBox(kNotSaved, Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Save"));
    return true;
}

bool FileCommands::mayClose()
{
    if (!m_session.SettingsChanged)
        return true;
    const Ui::Answer a = askToSave();
    if (a != Ui::Answer::Yes)
        return a == Ui::Answer::No;
    switch (saveThroughDialog(kCloseFilter)) {
    case SaveOutcome::Saved:
    case SaveOutcome::NoName:
        return true;
    case SaveOutcome::NotSaved:
        m_platform.ui.messageBox(kNotSaved, Ui::Buttons::Ok, Ui::Icon::Critical, QStringLiteral("Save"));
        return false;
    case SaveOutcome::Cancelled:
    case SaveOutcome::Error:
        m_platform.ui.messageBox(kNotSaved, Ui::Buttons::Ok, Ui::Icon::Information);
        return false;
    }
    return false;
}
