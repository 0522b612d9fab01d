#include "workbook/Workbook.h"

#include "conversions/Conversions.h"
#include "store/MemberStore.h"
#include "store/PendingFile.h"
#include "window/Birthdays.h"
#include "workbook/WorkbookText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <xlsxwriter.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The widest a column is made, in characters: a long note or address stays readable in its cell without pushing
// the columns after it out of view.
constexpr double kMaxColumnWidth = 50;
// Room beside a header's name for the filter's button.
constexpr double kFilterButtonWidth = 3;

constexpr const char* kMonths[] = {"enero", "febrero", "marzo",      "abril",   "mayo",      "junio",
                                   "julio", "agosto",  "septiembre", "octubre", "noviembre", "diciembre"};

// The balance bands of the chart "Socios por saldo": 0 or less, then each band from the limit before it up to (and
// without) its own, then the rest; short labels, so that a chart has room for them all.
constexpr double kBandLimits[] = {100, 500, 1000};
constexpr const char* kBandLabels[] = {"0 o menos", "menos de 100", "100 a 500", "500 a 1000", "1000 o más"};
static_assert(std::size(kBandLabels) == std::size(kBandLimits) + 2);

const QString kAdded = QStringLiteral("añadir puntos");
const QString kReset = QStringLiteral("reset puntos");
constexpr int kSummaryDays = 30;
constexpr int kSummaryMonths = 12;

// The UTF-8 text of a text cell, as a spreadsheet reads it back. libxlsxwriter writes a control character as
// _xHHHH_, which spreadsheets read back as that character; a text that holds such a sequence itself gets its '_'
// written as _x005F_, so that it reads back as stored. A NUL would end libxlsxwriter's text: it is written as
// _x0000_ too.
QByteArray cellText(const QString& text)
{
    static const QRegularExpression escapeLike(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    QByteArray bytes =
        (text.contains(QLatin1String("_x")) ? QString(text).replace(escapeLike, QStringLiteral("_x005F_\\1")) : text)
            .toUtf8();
    if (bytes.contains('\0'))
        bytes.replace(QByteArray(1, '\0'), QByteArrayLiteral("_x0000_"));
    return bytes;
}

// A date and time of the points history, "2026-12-06 17:45:03"; no value for any other text.
std::optional<lxw_datetime> historyTime(const QString& text)
{
    if (text.size() != 19 || text[4] != u'-' || text[7] != u'-' || text[10] != u' ' || text[13] != u':' ||
        text[16] != u':')
        return std::nullopt;
    const auto number = [&](int at, int length, int& value) {
        bool ok = false;
        value = QStringView(text).mid(at, length).toInt(&ok);
        return ok && text[at].isDigit();
    };
    int year, month, day, hour, minute, second;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour) ||
        !number(14, 2, minute) || !number(17, 2, second))
        return std::nullopt;
    // A spreadsheet's dates start in 1900.
    if (year < 1900 || !QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return std::nullopt;
    return lxw_datetime{year, month, day, hour, minute, double(second)};
}

WorkbookError writeError(const QString& detail)
{
    return WorkbookError{WorkbookError::Kind::Write, std::nullopt, detail};
}

WorkbookError writeError(lxw_error error)
{
    return writeError(QString::fromUtf8(lxw_strerror(error)));
}

// A libxlsxwriter workbook in constant-memory mode, freed unwritten unless closed.
class Book
{
public:
    Book(const QString& file, const QString& folder)
        : m_file(QFile::encodeName(file)), m_folder(QFile::encodeName(folder))
    {
        // Rows go to temporary files beside the workbook, never to memory; and never to a /tmp that may be memory.
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = m_folder.data();
        m_book = workbook_new_opt(m_file.constData(), &options);
        if (!m_book)
            return;
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        m_text = workbook_add_format(m_book);
        format_set_num_format(m_text, "@");
        m_boldText = workbook_add_format(m_book);
        format_set_bold(m_boldText);
        format_set_num_format(m_boldText, "@");
        m_dateTime = workbook_add_format(m_book);
        format_set_num_format(m_dateTime, "dd/mm/yyyy hh:mm:ss");
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, "dd/mm/yyyy");
    }
    ~Book()
    {
        if (m_book)
            lxw_workbook_free(m_book);
    }
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    lxw_workbook* get() const { return m_book; }
    lxw_format* bold() const { return m_bold; }
    lxw_format* text() const { return m_text; }
    lxw_format* boldText() const { return m_boldText; }
    lxw_format* dateTime() const { return m_dateTime; }
    lxw_format* date() const { return m_date; }

    // Writes the file; the workbook is gone afterwards, whatever the outcome.
    lxw_error close()
    {
        errno = 0;
        const lxw_error error = workbook_close(std::exchange(m_book, nullptr));
        m_closeErrno = errno;
        return error;
    }
    int closeErrno() const { return m_closeErrno; }

private:
    QByteArray m_file;
    QByteArray m_folder;
    lxw_workbook* m_book = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_text = nullptr;
    lxw_format* m_boldText = nullptr;
    lxw_format* m_dateTime = nullptr;
    lxw_format* m_date = nullptr;
    int m_closeErrno = 0;
};

// A table written row by row over as many sheets as it needs ("Socios", "Socios 2"...), each under the same bold
// header, frozen in view, with a filter on every column and columns as wide as their texts (up to a cap).
class SheetSeries
{
public:
    struct Column
    {
        QString name;
        lxw_format* format = nullptr; // for the whole column, and what cells typed into it later become
        double width = 0;             // fixed; 0: as wide as the texts
    };

    SheetSeries(Book& book, QString name, std::vector<Column> columns, qint64 sheetRows)
        : m_book(book), m_name(std::move(name)), m_columns(std::move(columns)), m_sheetRows(sheetRows)
    {}

    // The sheet and row of the next record; a sheet that is full is finished and the next one begun.
    Result<void, WorkbookError> next(lxw_worksheet*& sheet, lxw_row_t& row)
    {
        if (!m_sheet || m_row + 1 >= m_sheetRows) {
            if (Result<void, WorkbookError> done = begin(); !done)
                return done;
        }
        ++m_row;
        sheet = m_sheet;
        row = lxw_row_t(m_row);
        return {};
    }

    void noteWidth(lxw_col_t column, qsizetype chars) { m_widths[column] = std::max(m_widths[column], double(chars)); }

    // Finishes the last sheet; the first is made even for a table without records.
    Result<void, WorkbookError> finish()
    {
        if (!m_sheet)
            if (Result<void, WorkbookError> done = begin(); !done)
                return done;
        return finishSheet();
    }

    int sheets() const { return m_sheets; }

private:
    Result<void, WorkbookError> begin()
    {
        if (m_sheet)
            if (Result<void, WorkbookError> done = finishSheet(); !done)
                return done;
        ++m_sheets;
        const QByteArray name = (m_sheets == 1 ? m_name : QStringLiteral("%1 %2").arg(m_name).arg(m_sheets)).toUtf8();
        m_sheet = workbook_add_worksheet(m_book.get(), name.constData());
        if (!m_sheet)
            return writeError(QStringLiteral("cannot add the sheet %1").arg(QString::fromUtf8(name)));
        m_row = 0;
        m_widths.assign(m_columns.size(), 0);
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const QByteArray header = m_columns[c].name.toUtf8();
            if (const lxw_error error =
                    worksheet_write_string(m_sheet, 0, lxw_col_t(c), header.constData(), m_book.boldText()))
                return writeError(error);
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        return {};
    }

    Result<void, WorkbookError> finishSheet()
    {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const Column& column = m_columns[c];
            const double fitted = std::max(m_widths[c], double(column.name.size()) + kFilterButtonWidth) + 1;
            const double width = column.width > 0 ? column.width : std::min(fitted, kMaxColumnWidth);
            if (const lxw_error error = worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), width, column.format))
                return writeError(error);
        }
        if (const lxw_error error =
                worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(m_row), lxw_col_t(m_columns.size() - 1)))
            return writeError(error);
        return {};
    }

    Book& m_book;
    QString m_name;
    std::vector<Column> m_columns;
    qint64 m_sheetRows;
    lxw_worksheet* m_sheet = nullptr;
    qint64 m_row = 0;
    int m_sheets = 0;
    std::vector<double> m_widths;
};

// Writes a text cell: the stored text exactly. A text longer than a cell holds is refused by libxlsxwriter.
lxw_error writeText(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& text, lxw_format* format)
{
    return worksheet_write_string(sheet, row, column, cellText(text).constData(), format);
}

// What the summary counts, gathered while the members and the history are written.
struct Figures
{
    qint64 members = 0;
    qint64 birthdaysSoon = 0;
    double outstanding = 0;
    double addedRecently = 0;
    double resetRecently = 0;
    std::array<double, kSummaryMonths> addedByMonth{}; // the oldest month first, this month last
    std::array<qint64, 12> birthdaysByMonth{};
    std::array<qint64, std::size(kBandLabels)> membersByBand{};
};

// A figure as a number cell; a sum that overflowed a number is left out, never written as a wrong one.
lxw_error writeFigure(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, double value)
{
    if (!std::isfinite(value))
        return LXW_NO_ERROR;
    return worksheet_write_number(sheet, row, column, value, nullptr);
}

// Hands a chart the values of a range it draws. A chart keeps a copy of its cells, which a spreadsheet may show
// before (or instead of) reading them, and which tells labels from numbers; libxlsxwriter cannot read back the cells
// of a workbook in constant-memory mode, so the summary gives it the copy. The library frees it.
void cacheRange(lxw_series_range* range, const QStringList& labels, const std::vector<double>& numbers)
{
    if (!range || !range->data_cache)
        return;
    const qsizetype count = labels.isEmpty() ? qsizetype(numbers.size()) : labels.size();
    for (qsizetype i = 0; i < count; ++i) {
        auto* point = static_cast<lxw_series_data_point*>(calloc(1, sizeof(lxw_series_data_point)));
        if (!point)
            return;
        if (labels.isEmpty()) {
            point->number = numbers[std::size_t(i)];
            point->no_data = !std::isfinite(point->number); // as the cell, left empty
        } else {
            point->is_string = LXW_TRUE;
            point->string = strdup(labels[i].toUtf8().constData());
        }
        STAILQ_INSERT_TAIL(range->data_cache, point, list_pointers);
        ++range->num_data_points;
    }
    range->has_string_cache = labels.isEmpty() ? LXW_FALSE : LXW_TRUE;
    range->ignore_cache = LXW_TRUE; // what was given above stays
}

Result<void, WorkbookError> writeSummary(Book& book, const Figures& figures, QDate today)
{
    lxw_worksheet* sheet = workbook_add_worksheet(book.get(), "Resumen");
    if (!sheet)
        return writeError(QStringLiteral("cannot add the sheet Resumen"));
    lxw_error error = LXW_NO_ERROR;
    const auto text = [&](lxw_row_t row, lxw_col_t column, const QString& value, lxw_format* format = nullptr) {
        if (!error)
            error = writeText(sheet, row, column, value, format);
    };
    const auto number = [&](lxw_row_t row, lxw_col_t column, double value) {
        if (!error)
            error = writeFigure(sheet, row, column, value);
    };

    text(0, 0, QStringLiteral("Resumen de socios"), book.bold());
    lxw_datetime day{today.year(), today.month(), today.day(), 0, 0, 0};
    if (!error)
        error = worksheet_write_datetime(sheet, 0, 1, &day, book.date());
    const std::pair<QString, double> lines[] = {
        {QStringLiteral("Socios"), double(figures.members)},
        {QStringLiteral("Socios que cumplen años en los próximos %1 días").arg(kBirthdayDaysAhead),
         double(figures.birthdaysSoon)},
        {QStringLiteral("Puntos pendientes (suma de los saldos)"), figures.outstanding},
        {QStringLiteral("Puntos añadidos en los últimos %1 días").arg(kSummaryDays), figures.addedRecently},
        {QStringLiteral("Puntos quitados con «reset puntos» en los últimos %1 días").arg(kSummaryDays),
         figures.resetRecently},
    };
    lxw_row_t row = 2;
    for (const auto& [label, value] : lines) {
        text(row, 0, label);
        number(row, 1, value);
        ++row;
    }

    // The three tables that the charts draw, side by side: a label column and a value column each.
    struct Table
    {
        const char* title;
        QString labelHeader, valueHeader;
        lxw_col_t column;
        QStringList labels;
        std::vector<double> values;
    };
    Table tables[] = {
        {"Puntos añadidos por mes (últimos 12 meses)",
         QStringLiteral("Mes"),
         QStringLiteral("Puntos añadidos"),
         0,
         {},
         {}},
        {"Cumpleaños por mes", QStringLiteral("Mes"), QStringLiteral("Cumpleaños"), 3, {}, {}},
        {"Socios por saldo", QStringLiteral("Saldo"), QStringLiteral("Socios"), 6, {}, {}},
    };
    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(1 - kSummaryMonths);
    for (int i = 0; i < kSummaryMonths; ++i) {
        const QDate month = firstMonth.addMonths(i);
        tables[0].labels << QStringLiteral("%1 %2").arg(QLatin1String(kMonths[month.month() - 1])).arg(month.year());
        tables[0].values.push_back(figures.addedByMonth[std::size_t(i)]);
    }
    for (int i = 0; i < 12; ++i) {
        tables[1].labels << QLatin1String(kMonths[i]);
        tables[1].values.push_back(double(figures.birthdaysByMonth[std::size_t(i)]));
    }
    for (std::size_t i = 0; i < std::size(kBandLabels); ++i) {
        tables[2].labels << QString::fromUtf8(kBandLabels[i]);
        tables[2].values.push_back(double(figures.membersByBand[i]));
    }

    // Rows are written in order (constant memory): each row across the three tables.
    const lxw_row_t tableHeader = row + 1;
    for (const Table& table : tables) {
        text(tableHeader, table.column, table.labelHeader, book.bold());
        text(tableHeader, table.column + 1, table.valueHeader, book.bold());
    }
    for (qsizetype i = 0; i < kSummaryMonths; ++i)
        for (const Table& table : tables)
            if (i < table.labels.size()) {
                text(lxw_row_t(tableHeader + 1 + i), table.column, table.labels[i]);
                number(lxw_row_t(tableHeader + 1 + i), table.column + 1, table.values[std::size_t(i)]);
            }
    if (error)
        return writeError(error);
    worksheet_set_column(sheet, 0, 0, 52, nullptr);
    worksheet_set_column(sheet, 1, 1, 16, nullptr);
    worksheet_set_column(sheet, 3, 4, 12, nullptr);
    worksheet_set_column(sheet, 6, 6, 24, nullptr);

    // The charts, to the right of the tables, one above the other.
    lxw_row_t chartRow = 0;
    for (const Table& table : tables) {
        lxw_chart* chart = workbook_add_chart(book.get(), LXW_CHART_COLUMN);
        if (!chart)
            return writeError(QStringLiteral("cannot add a chart"));
        lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
        if (!series)
            return writeError(QStringLiteral("cannot add a chart's series"));
        const lxw_row_t first = tableHeader + 1, last = lxw_row_t(tableHeader + table.labels.size());
        chart_series_set_categories(series, "Resumen", first, table.column, last, table.column);
        chart_series_set_values(series, "Resumen", first, table.column + 1, last, table.column + 1);
        cacheRange(series->categories, table.labels, {});
        cacheRange(series->values, {}, table.values);
        chart_title_set_name(chart, table.title);
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
        lxw_chart_options wide{};
        wide.x_scale = 1.5;
        wide.y_scale = 1;
        if (const lxw_error inserted = worksheet_insert_chart_opt(sheet, chartRow, 9, chart, &wide))
            return writeError(inserted);
        chartRow += 16;
    }
    return {};
}

// The balance band of a balance as the till reads it.
std::size_t bandOf(double balance)
{
    if (!(balance > 0))
        return 0;
    std::size_t band = 1;
    for (double limit : kBandLimits) {
        if (balance < limit)
            return band;
        ++band;
    }
    return band;
}

// Writes every member and every record of the history into `book` and gathers the figures.
Result<WorkbookExported, WorkbookError> writeSheets(Book& book, const MemberStore& store,
                                                    const WorkbookOptions& options)
{
    WorkbookExported exported;
    Figures figures;
    std::optional<WorkbookError> fault;

    std::vector<SheetSeries::Column> memberColumns;
    for (Field f : allFields())
        memberColumns.push_back({QLatin1String(fieldName(f)), book.text(), 0});
    SheetSeries members(book, QStringLiteral("Socios"), std::move(memberColumns), options.sheetRows);
    const StoreResult<void> membersRead = store.scan(allFields(), [&](const StoredRow& stored) -> StoreResult<void> {
        lxw_worksheet* sheet = nullptr;
        lxw_row_t row = 0;
        if (const Result<void, WorkbookError> next = members.next(sheet, row); !next)
            fault = next.error();
        QString card;
        for (Field f : allFields()) {
            if (fault)
                break;
            StoreResult<QString> read = stored.text(f);
            if (!read && read.error().kind != StoreError::Kind::NoValue)
                return read.error();
            exported.noValue += !read;
            const QString text = read ? std::move(read).value() : kEmptyMark;
            if (f == Field::ntarjeta)
                card = text;
            else if (f == Field::fnacimiento) {
                figures.birthdaysSoon += daysToBirthday(text, options.today).has_value();
                if (const int month = birthdayMonth(text))
                    ++figures.birthdaysByMonth[month - 1];
            } else if (f == Field::puntos) {
                const double balance = Val(text);
                if (std::isfinite(balance))
                    figures.outstanding += balance;
                ++figures.membersByBand[bandOf(balance)];
            }
            members.noteWidth(lxw_col_t(f), text.size());
            if (const lxw_error error = writeText(sheet, row, lxw_col_t(f), text, book.text())) {
                fault = error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED
                            ? WorkbookError{WorkbookError::Kind::TooLong, std::nullopt,
                                            WorkbookText::tr("field %1 of card %2 holds %3 characters; a spreadsheet "
                                                             "cell holds at most 32767")
                                                .arg(QLatin1String(fieldName(f)), card)
                                                .arg(text.size())}
                            : writeError(error);
            }
        }
        if (fault) // stops the scan; the fault is reported instead of the store's stop
            return StoreError{StoreError::Kind::Read, store.path(), fault->detail, StoreError::Cause::Other, {}};
        ++exported.members;
        return {};
    });
    if (fault)
        return *fault;
    if (!membersRead)
        return WorkbookError{WorkbookError::Kind::Store, membersRead.error(), {}};
    if (Result<void, WorkbookError> done = members.finish(); !done)
        return done.error();
    exported.memberSheets = members.sheets();
    figures.members = exported.members;

    SheetSeries history(book, QStringLiteral("Movimientos"),
                        {{QStringLiteral("fecha"), book.dateTime(), 20},
                         {QStringLiteral("ntarjeta"), book.text(), 0},
                         {QStringLiteral("antes"), nullptr, 0},
                         {QStringLiteral("cantidad"), nullptr, 0},
                         {QStringLiteral("despues"), nullptr, 0},
                         {QStringLiteral("operacion"), book.text(), 0},
                         {QStringLiteral("equipo"), book.text(), 0}},
                        options.sheetRows);
    const QDate recentFrom = options.today.addDays(1 - kSummaryDays);
    const QDate firstMonth = QDate(options.today.year(), options.today.month(), 1).addMonths(1 - kSummaryMonths);
    const StoreResult<void> historyRead = store.scanHistory([&](const Movement& m) -> StoreResult<void> {
        lxw_worksheet* sheet = nullptr;
        lxw_row_t row = 0;
        if (const Result<void, WorkbookError> next = history.next(sheet, row); !next)
            fault = next.error();
        lxw_error error = LXW_NO_ERROR;
        const auto text = [&](lxw_col_t column, const QString& value, lxw_format* format) {
            history.noteWidth(column, value.size());
            if (!error)
                error = writeText(sheet, row, column, value, format);
        };
        // An amount is a number, as the till reads it; what reads as no finite number stays the stored text.
        const auto amount = [&](lxw_col_t column, const QString& value) {
            const double number = Val(value);
            if (value.trimmed().isEmpty() || !std::isfinite(number))
                return text(column, value, nullptr);
            history.noteWidth(column, Str(number).size());
            if (!error)
                error = worksheet_write_number(sheet, row, column, number, nullptr);
        };
        std::optional<lxw_datetime> when = fault ? std::nullopt : historyTime(m.fecha);
        if (!fault) {
            if (when)
                error = worksheet_write_datetime(sheet, row, 0, &*when, book.dateTime());
            else
                text(0, m.fecha, book.text());
            text(1, m.ntarjeta, book.text());
            amount(2, m.antes);
            amount(3, m.cantidad);
            amount(4, m.despues);
            text(5, m.operacion, book.text());
            text(6, m.equipo, book.text());
            if (error)
                fault = error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED
                            ? WorkbookError{WorkbookError::Kind::TooLong, std::nullopt,
                                            WorkbookText::tr("a points history record of card %1 holds more "
                                                             "characters than a spreadsheet cell")
                                                .arg(m.ntarjeta)}
                            : writeError(error);
        }
        if (fault)
            return StoreError{StoreError::Kind::Read, store.path(), fault->detail, StoreError::Cause::Other, {}};
        ++exported.movements;

        const double change = Val(m.cantidad);
        if (!when || !std::isfinite(change) || (m.operacion != kAdded && m.operacion != kReset))
            return {};
        const QDate date(when->year, when->month, when->day);
        if (date > options.today)
            return {};
        if (m.operacion == kReset) {
            if (date >= recentFrom)
                figures.resetRecently -= change;
            return {};
        }
        if (date >= recentFrom)
            figures.addedRecently += change;
        const int month = (date.year() - firstMonth.year()) * 12 + date.month() - firstMonth.month();
        if (month >= 0)
            figures.addedByMonth[std::size_t(month)] += change;
        return {};
    });
    if (fault)
        return *fault;
    if (!historyRead)
        return WorkbookError{WorkbookError::Kind::Store, historyRead.error(), {}};
    if (Result<void, WorkbookError> done = history.finish(); !done)
        return done.error();

    if (Result<void, WorkbookError> done = writeSummary(book, figures, options.today); !done)
        return done.error();
    return exported;
}

} // namespace

QString WorkbookError::toString(const QString& file) const
{
    if (kind == Kind::Store && store)
        return store->toString();
    return QStringLiteral("cannot write %1: %2").arg(file, detail);
}

Result<WorkbookExported, WorkbookError> exportWorkbook(const StoreAddress& address, const QString& file,
                                                       const WorkbookOptions& options)
{
    const QFileInfo target(file);
    if (address.isMemberFile(file))
        return WorkbookError{WorkbookError::Kind::MemberFile, std::nullopt, WorkbookText::tr("it is the member file")};
    const QString folder = target.absolutePath();
    // The name is taken at once: a folder that cannot be written fails before a single member is read.
    Result<PendingFile, StoreError> made = PendingFile::create(file);
    if (!made)
        return writeError(made.error().detail);
    PendingFile& pending = made.value();

    const MemberStore store(address);
    Book book(pending.path(), folder);
    if (!book.get())
        return writeError(QStringLiteral("cannot start the workbook"));
    Result<WorkbookExported, WorkbookError> written = writeSheets(book, store, options);
    if (!written)
        return written.error();
    if (const lxw_error closed = book.close()) {
        QString detail = QString::fromUtf8(lxw_strerror(closed));
        if (book.closeErrno())
            detail += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(book.closeErrno())));
        return writeError(detail);
    }
    // Flushed to the disk and moved over the target, the new name flushed too.
    if (const StoreResult<void> moved = pending.replaceTarget(); !moved)
        return writeError(moved.error().detail);
    return written;
}
