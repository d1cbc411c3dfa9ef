#include "core/feedback.h"
#include "exports/column_name.h"
#include "exports/grid_export.h"
#include "exports/save_through.h"
#include "grid/grid_model.h"

#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <xlsxwriter.h>

namespace quel::exports {

namespace {

constexpr double kTwipsPerCharacter = 123;
constexpr lxw_color_t kHeadingFill = 0xFFC080; // RGB(255, 192, 128)
constexpr int kMaxCellText = 32767; // longest text a sheet cell holds

// libxlsxwriter writes to a path of its own; the workbook is built beside the temporary
// files and copied into place in one go, so the chosen file is never half written.
class Workbook
{
public:
    explicit Workbook(const QString& path)
        : m_book(workbook_new(QFile::encodeName(path).constData()))
    { }
    ~Workbook()
    {
        if (m_book)
            workbook_close(m_book);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    lxw_workbook* get() const { return m_book; }
    // Writes the file; the workbook is gone afterwards.
    lxw_error close() { return workbook_close(std::exchange(m_book, nullptr)); }

private:
    lxw_workbook* m_book;
};

// The cell formats of one workbook: every cell of the used area is framed, headings are
// bold on the fill colour, numbers keep the decimals they were shown with.
class Formats
{
public:
    explicit Formats(lxw_workbook* book)
        : m_book(book)
    {
        m_heading = framed();
        format_set_bold(m_heading);
        format_set_pattern(m_heading, LXW_PATTERN_SOLID);
        format_set_bg_color(m_heading, kHeadingFill);
        m_text = framed();
    }
    lxw_format* heading() const { return m_heading; }
    lxw_format* text() const { return m_text; }
    lxw_format* number(int decimals)
    {
        auto it = m_numbers.find(decimals);
        if (it != m_numbers.end())
            return it->second;
        lxw_format* format = framed();
        if (decimals > 0) {
            const QByteArray pattern = "0." + QByteArray(decimals, '0');
            format_set_num_format(format, pattern.constData());
        }
        m_numbers.emplace(decimals, format);
        return format;
    }

private:
    lxw_format* framed() const
    {
        lxw_format* format = workbook_add_format(m_book);
        format_set_border(format, LXW_BORDER_THIN);
        return format;
    }

    lxw_workbook* m_book;
    lxw_format* m_heading;
    lxw_format* m_text;
    std::map<int, lxw_format*> m_numbers;
};

QString errorText(lxw_error code)
{
    return QString::fromUtf8(lxw_strerror(code));
}

} // namespace

bool plainNumber(const QString& text, double* value, int* decimals)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (i < n && text[i] == u'-')
        ++i;
    const qsizetype intStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9')
        ++i;
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == u'0'))
        return false;
    qsizetype fraction = 0;
    if (i < n && text[i] == u'.') {
        ++i;
        const qsizetype fracStart = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9')
            ++i;
        fraction = i - fracStart;
        if (fraction == 0)
            return false;
    }
    if (i != n)
        return false;
    // Significant digits: leading zeros of "0.05" do not count.
    qsizetype significant = 0;
    bool started = false;
    for (qsizetype k = intStart; k < n; ++k) {
        if (text[k] == u'.')
            continue;
        started = started || text[k] != u'0';
        if (started)
            ++significant;
    }
    if (significant > 15)
        return false;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        return false;
    if (value)
        *value = v;
    if (decimals)
        *decimals = static_cast<int>(fraction);
    return true;
}

bool WriteGridExcelTo(const grid::GridModel& grid, QIODevice& out, const QString& sheetName,
    core::Feedback& feedback, QString* error)
{
    const auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    QTemporaryDir work;
    if (!work.isValid())
        return fail(work.errorString());
    const QString built = work.filePath(QStringLiteral("book.xlsx"));

    feedback.indicatorStart(QStringLiteral("正在将数据导出到EXCEL文件 …"), grid.rows() + 2, 0);
    Workbook book(built);
    if (!book.get()) {
        feedback.indicatorClose();
        return fail(QStringLiteral("cannot create a workbook"));
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), sheetName.toUtf8().constData());
    feedback.indicatorStep(2, QString());
    if (!sheet) {
        feedback.indicatorClose();
        return fail(QStringLiteral("invalid sheet name: ") + sheetName);
    }
    Formats formats(book.get());

    const ShownCells shown = shownCells(grid);
    lxw_row_t sheetRow = 0;
    lxw_error cellError = LXW_NO_ERROR;
    for (const int r : shown.rows) {
        const bool heading = r < grid.fixedRows();
        lxw_col_t sheetCol = 0;
        for (const int c : shown.cols) {
            QString text = grid.text(r, c);
            double number = 0;
            int decimals = 0;
            if (heading) {
                worksheet_set_column(
                    sheet, sheetCol, sheetCol, grid.columnWidth(c) / kTwipsPerCharacter, nullptr);
            }
            lxw_error cell = LXW_NO_ERROR;
            if (text.isEmpty()) {
                cell = worksheet_write_blank(
                    sheet, sheetRow, sheetCol, heading ? formats.heading() : formats.text());
            } else if (plainNumber(text, &number, &decimals)) {
                cell = worksheet_write_number(sheet, sheetRow, sheetCol, number,
                    heading ? formats.heading() : formats.number(decimals));
            } else {
                if (text.size() > kMaxCellText)
                    text.truncate(kMaxCellText);
                cell = worksheet_write_string(sheet, sheetRow, sheetCol, text.toUtf8().constData(),
                    heading ? formats.heading() : formats.text());
            }
            if (cellError == LXW_NO_ERROR)
                cellError = cell;
            ++sheetCol;
        }
        ++sheetRow;
        feedback.indicatorStep(1, QString());
    }

    // The worksheet's rows go to a temporary file as they are written: a full disk shows in
    // the cell writes or in the close that zips them.
    const lxw_error closed = book.close();
    feedback.indicatorClose();
    if (cellError != LXW_NO_ERROR)
        return fail(errorText(cellError));
    if (closed != LXW_NO_ERROR)
        return fail(errorText(closed));

    QFile source(built);
    if (!source.open(QIODevice::ReadOnly))
        return fail(source.errorString());
    QString why;
    while (!source.atEnd()) {
        const QByteArray block = source.read(1 << 20);
        if (block.isEmpty() && source.error() != QFileDevice::NoError)
            return fail(source.errorString());
        if (!WriteAll(out, block, &why))
            return fail(why);
    }
    return true;
}

bool WriteGridExcel(const grid::GridModel& grid, const QString& path, const QString& sheetName,
    core::Feedback& feedback, QString* error)
{
    return SaveThrough(
        path,
        [&](QIODevice& out, QString* why) {
            return WriteGridExcelTo(grid, out, sheetName, feedback, why);
        },
        error);
}

} // namespace quel::exports
