#include "collect/RecordSpreadsheet.h"

#include <QFile>

#include <xlsxwriter.h>

namespace RecordSpreadsheet {

namespace {

constexpr int MaxSheetNameChars = 31;
constexpr double DateWidth = 22;
constexpr double MaxTextWidth = 60;

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A spreadsheet program reads "_xHHHH_" in a cell's text as the character HHHH
// (the writer spells control characters that way); a literal one keeps its
// "_" by spelling that as "_x005F_".
QString escapeUnderscores(const QString &value)
{
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = value.indexOf(u"_x"); i >= 0 && i + 6 < value.size(); i = value.indexOf(u"_x", i + 1)) {
        if (value[i + 6] != u'_' || !isHex(value[i + 2]) || !isHex(value[i + 3]) || !isHex(value[i + 4])
            || !isHex(value[i + 5]))
            continue;
        out += QStringView(value).mid(copied, i - copied);
        out += u"_x005F_";
        copied = i + 1;
    }
    if (copied == 0)
        return value;
    out += QStringView(value).mid(copied);
    return out;
}

QString describe(lxw_error e)
{
    if (e == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED)
        return QStringLiteral("a value holds more than %1 characters, more than a spreadsheet cell holds")
            .arg(MaxCellChars);
    return QString::fromUtf8(lxw_strerror(e));
}

} // namespace

QString sheetName(const QString &wanted)
{
    QString name = wanted.trimmed().left(MaxSheetNameChars);
    if (name.isEmpty())
        return QStringLiteral("Records");
    for (QChar &c : name)
        if (c < u' ' || c == QChar(0x7f) || QStringView(u"[]:*?/\\").contains(c))
            c = u'_';
    if (name.startsWith(u'\''))
        name[0] = u'_';
    if (name.endsWith(u'\''))
        name[name.size() - 1] = u'_';
    return name;
}

Workbook::Workbook(const QString &sheet, const QList<Column> &columns, int rowsPerSheet)
    : m_name(sheetName(sheet)), m_columns(columns), m_rowsPerSheet(qBound(1, rowsPerSheet, MaxRows))
{
    if (!m_dir.isValid()) {
        fail(QStringLiteral("no temporary folder: ") + m_dir.errorString());
        return;
    }
    m_path = QFile::encodeName(m_dir.filePath(QStringLiteral("records.xlsx")));
    m_tmp = QFile::encodeName(m_dir.path());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = m_tmp.data();
    options.use_zip64 = LXW_TRUE; // a million rows may pass 4 GB of sheet XML
    m_book = workbook_new_opt(m_path.constData(), &options);
    if (!m_book) {
        fail(QStringLiteral("the workbook could not be started"));
        return;
    }
    m_bold = workbook_add_format(m_book);
    format_set_bold(m_bold);
    m_date = workbook_add_format(m_book);
    format_set_num_format(m_date, "yyyy-mm-dd hh:mm:ss");
    for (const Column &c : m_columns)
        m_widths << (c.kind == Kind::DateTime ? DateWidth : qMin<double>(MaxTextWidth, c.title.size() + 2));
    addSheet();
}

Workbook::~Workbook()
{
    if (m_book)
        workbook_close(m_book);
}

void Workbook::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
}

void Workbook::addSheet()
{
    QString name = m_name;
    if (!m_sheets.isEmpty()) {
        const QString suffix = QStringLiteral(" (%1)").arg(m_sheets.size() + 1);
        name = m_name.left(MaxSheetNameChars - suffix.size()) + suffix;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(m_book, name.toUtf8().constData());
    if (!sheet) {
        fail(QStringLiteral("the sheet %1 could not be added").arg(name));
        return;
    }
    m_sheets << sheet;
    for (qsizetype c = 0; c < m_columns.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), m_columns[c].title.toUtf8().constData(), m_bold);
    worksheet_freeze_panes(sheet, 1, 0);
    m_row = 1;
    m_col = 0;
}

lxw_worksheet *Workbook::sheetForCell()
{
    if (m_error.isEmpty() && m_col == 0 && m_row > quint32(m_rowsPerSheet))
        addSheet();
    return m_error.isEmpty() ? m_sheets.last() : nullptr;
}

void Workbook::text(const QString &value)
{
    lxw_worksheet *sheet = sheetForCell();
    if (!sheet)
        return;
    if (!value.isEmpty()) {
        if (const lxw_error e = worksheet_write_string(sheet, m_row, m_col, escapeUnderscores(value).toUtf8().constData(), nullptr))
            return fail(describe(e));
        if (m_col < m_widths.size())
            m_widths[m_col] = qMax(m_widths[m_col], qMin<double>(MaxTextWidth, value.size() + 2));
    }
    ++m_col;
}

void Workbook::number(double value)
{
    lxw_worksheet *sheet = sheetForCell();
    if (!sheet)
        return;
    if (const lxw_error e = worksheet_write_number(sheet, m_row, m_col, value, nullptr))
        return fail(describe(e));
    if (m_col < m_widths.size())
        m_widths[m_col] = qMax<double>(m_widths[m_col], QString::number(value, 'g', 15).size() + 2);
    ++m_col;
}

void Workbook::dateTime(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid() || date.year() < 1900 || date.year() > 9999)
        return skip();
    lxw_worksheet *sheet = sheetForCell();
    if (!sheet)
        return;
    lxw_datetime when = {date.year(), date.month(), date.day(), time.hour(), time.minute(), double(time.second())};
    if (const lxw_error e = worksheet_write_datetime(sheet, m_row, m_col, &when, m_date))
        return fail(describe(e));
    ++m_col;
}

void Workbook::timestamp(const QString &text)
{
    if (text.isEmpty())
        return skip();
    const QDate date = QDate::fromString(text.left(10), u"yyyy-MM-dd");
    const QTime time = QTime::fromString(text.mid(11), u"hh:mm:ss");
    if (text.size() == 19 && date.isValid() && time.isValid())
        dateTime(date, time);
    else
        this->text(text);
}

void Workbook::skip()
{
    text(QString());
}

void Workbook::endRow()
{
    ++m_row;
    m_col = 0;
}

Result Workbook::finish()
{
    Result r;
    if (!m_book) {
        r.error = m_error;
        return r;
    }
    for (lxw_worksheet *sheet : std::as_const(m_sheets))
        for (qsizetype c = 0; c < m_widths.size(); ++c)
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), m_widths[c], nullptr);
    const lxw_error closed = workbook_close(m_book);
    m_book = nullptr;
    if (!m_error.isEmpty()) {
        r.error = m_error;
        return r;
    }
    if (closed != LXW_NO_ERROR) {
        r.error = describe(closed);
        return r;
    }
    QFile file(QFile::decodeName(m_path));
    if (!file.open(QIODevice::ReadOnly)) {
        r.error = file.errorString();
        return r;
    }
    r.bytes = file.readAll();
    return r;
}

Result xlsx(const RecordAssembler::Records &records)
{
    Workbook book(QString::fromLatin1(records.machineId),
                  {{QStringLiteral("Machine ID")}, {QStringLiteral("Timestamp"), Kind::DateTime}, {QStringLiteral("Data")}});
    const QString id = QString::fromLatin1(records.machineId);
    for (const RecordAssembler::Record &r : records.list) {
        book.text(id);
        book.timestamp(QString::fromLatin1(RecordAssembler::Records::timestamp(r)));
        book.text(QString::fromLatin1(records.data(r)));
        book.endRow();
    }
    return book.finish();
}

} // namespace RecordSpreadsheet
