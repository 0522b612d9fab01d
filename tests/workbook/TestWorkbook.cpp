#include "tests/support/TestStore.h"
#include "tests/support/TestSupport.h"
#include "workbook/Workbook.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// What a spreadsheet reads in a cell: its kind ("text", "bold" text, "number", "date") and its value.
struct Cell
{
    QString kind;
    QString value;
};

QByteArray zipEntry(const QString& zip, const QString& entry)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, entry});
    if (!unzip.waitForFinished() || unzip.exitCode() != 0)
        qFatal("unzip cannot read %s from %s (scripts/setup.sh installs unzip)", qPrintable(entry), qPrintable(zip));
    return unzip.readAllStandardOutput();
}

// Reads a workbook back from its XML, as a spreadsheet does: each sheet's cells by reference ("A2"), with a few
// entries of the sheet itself ("frozen": the rows kept in view; "filter": the filter's range), and the ranges each
// chart draws (sheet "charts", entries "chart1"...).
QMap<QString, QMap<QString, Cell>> readWorkbook(const QString& zip)
{
    QMap<QString, QMap<QString, Cell>> sheets;
    QMap<QString, QString> targets; // relationship id -> part
    for (QXmlStreamReader xml(zipEntry(zip, "xl/_rels/workbook.xml.rels")); xml.readNextStartElement() || !xml.atEnd();)
        if (xml.isStartElement() && xml.name() == u"Relationship")
            targets[xml.attributes().value("Id").toString()] = xml.attributes().value("Target").toString();

    // Styles: which are bold, and which show a date.
    QMap<int, QString> formats;
    QList<bool> boldFonts;
    QList<QPair<int, int>> styles; // font, number format
    QXmlStreamReader css(zipEntry(zip, "xl/styles.xml"));
    bool inCellStyles = false;
    while (!css.atEnd()) {
        css.readNext();
        if (css.isStartElement() && css.name() == u"numFmt")
            formats[css.attributes().value("numFmtId").toInt()] = css.attributes().value("formatCode").toString();
        else if (css.isStartElement() && css.name() == u"font")
            boldFonts << false;
        else if (css.isStartElement() && css.name() == u"b")
            boldFonts.last() = true;
        else if (css.name() == u"cellXfs")
            inCellStyles = css.isStartElement();
        else if (inCellStyles && css.isStartElement() && css.name() == u"xf")
            styles << qMakePair(css.attributes().value("fontId").toInt(), css.attributes().value("numFmtId").toInt());
    }

    static const QRegularExpression escaped("_x([0-9A-Fa-f]{4})_");
    QXmlStreamReader book(zipEntry(zip, "xl/workbook.xml"));
    while (!book.atEnd()) {
        book.readNext();
        if (!book.isStartElement() || book.name() != u"sheet")
            continue;
        QMap<QString, Cell>& cells = sheets[book.attributes().value("name").toString()];
        QXmlStreamReader xml(zipEntry(zip, "xl/" + targets[book.attributes().value("r:id").toString()]));
        QString reference, type, text;
        int style = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"c") {
                reference = xml.attributes().value("r").toString();
                type = xml.attributes().value("t").toString();
                style = xml.attributes().value("s").toInt();
                text.clear();
            } else if (xml.isStartElement() && (xml.name() == u"t" || xml.name() == u"v")) {
                text += xml.readElementText();
            } else if (xml.isEndElement() && xml.name() == u"c") {
                const auto [font, format] = styles.value(style);
                Cell& cell = cells[reference];
                if (type == u"inlineStr") {
                    // A spreadsheet reads _xHHHH_ as the character HHHH.
                    QString decoded;
                    qsizetype from = 0;
                    for (const QRegularExpressionMatch& m : escaped.globalMatch(text)) {
                        decoded +=
                            text.mid(from, m.capturedStart() - from) + QChar(m.captured(1).toUShort(nullptr, 16));
                        from = m.capturedEnd();
                    }
                    cell = {boldFonts.value(font) ? "bold" : "text", decoded + text.mid(from)};
                } else if (formats.value(format).contains("yyyy")) {
                    const double serial = text.toDouble();
                    const QDateTime when(QDate(1899, 12, 30).addDays(qint64(serial)), QTime(0, 0));
                    cell = {"date",
                            when.addSecs(qRound64((serial - qint64(serial)) * 86400)).toString("yyyy-MM-dd HH:mm:ss")};
                } else {
                    cell = {type.isEmpty() ? "number" : type, QString::number(text.toDouble(), 'g', 15)};
                }
            } else if (xml.isStartElement() && xml.name() == u"pane") {
                cells["frozen"] = {xml.attributes().value("state").toString(),
                                   xml.attributes().value("ySplit").toString()};
            } else if (xml.isStartElement() && xml.name() == u"autoFilter") {
                cells["filter"] = {"range", xml.attributes().value("ref").toString()};
            }
        }
    }
    for (int n = 1;; ++n) {
        QProcess list;
        list.start("unzip", {"-Z1", zip});
        list.waitForFinished();
        const QString entry = QStringLiteral("xl/charts/chart%1.xml").arg(n);
        if (!QString::fromUtf8(list.readAllStandardOutput()).split('\n').contains(entry))
            break;
        QStringList ranges;
        for (QXmlStreamReader xml(zipEntry(zip, entry)); !xml.atEnd();)
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"f")
                ranges << xml.readElementText();
        sheets["charts"][QStringLiteral("chart%1").arg(n)] = {"ranges", ranges.join(' ')};
    }
    return sheets;
}

// Members whose texts a spreadsheet would change if it could; birth dates and balances whose figures are known for
// 1 March 2026.
QList<MemberRecord> awkwardMembers()
{
    MemberRecord zeros = sampleMember("0007", "Ana", "05/03/1980"); // birthday in 4 days
    zeros.cp = "08905";
    zeros.telefono = "+34 600 22 33 44";
    zeros.puntos = " 17.5";
    MemberRecord empty;
    for (Field f : allFields())
        empty[f] = kEmptyMark;
    empty.ntarjeta = "0012";
    MemberRecord accents = sampleMember("0020", "José Antonio", "29/02/1992"); // no 29 February in 2026
    accents.apellidos = "Núñez Peña";
    accents.ciudad = "A Coruña";
    accents.puntos = "100";
    MemberRecord formulas = sampleMember("0030", "=1+1", "10/03/1990"); // in 9 days
    formulas.calle = "@SUMA(A1)";
    formulas.email = "-resta";
    formulas.puntos = "-5";
    MemberRecord escapes = sampleMember("0040", " Ana ", "01/03/2000"); // today: not listed
    escapes.observaciones = "dos\r\nlíneas _x0041_";
    escapes.puntos = "1000";
    MemberRecord blank = sampleMember("0050", "", "11/03/1970"); // in 10 days: not listed
    blank.puntos = "499.5";
    return {zeros, empty, accents, formulas, escapes, blank};
}

const QDate kToday(2026, 3, 1);

} // namespace

// The owner's workbook read back as a spreadsheet reads it: text cells exactly as stored, dates and amounts of the
// points history as dates and numbers, the summary's figures for a store whose answers are known; and refusals that
// leave nothing behind.
class TestWorkbook : public QObject
{
    Q_OBJECT

    TestStore m_store;
    std::optional<QTemporaryDir> m_dir;
    QMap<QString, QMap<QString, Cell>> m_book;
    std::optional<QTemporaryDir> m_home;
    QList<QStringList> m_undoes; // run before the home folder goes

private slots:
    void initTestCase()
    {
        m_store.create(awkwardMembers());
        m_store.execSql("CREATE TABLE IF NOT EXISTS movimientos (fecha TEXT, ntarjeta TEXT, antes TEXT, cantidad "
                        "TEXT, despues TEXT, operacion TEXT, equipo TEXT);\n"
                        "INSERT INTO movimientos (fecha, ntarjeta, antes, cantidad, despues, operacion, equipo) VALUES "
                        "('2026-02-20 10:00:00', '0007', ' 0', ' 25', ' 25', 'añadir puntos', 'caja1'), "
                        "('2026-01-15 09:30:00', '0007', ' 25', ' 10', ' 35', 'añadir puntos', 'caja1'), "
                        "('2026-02-27 18:00:00', '0007', ' 35', '-35', '0', 'reset puntos', 'caja2'), "
                        "('2025-03-05 12:00:00', '0020', ' 93', ' 7', ' 100', 'añadir puntos', 'caja1'), "
                        "('2026-03-02 08:00:00', '0020', ' 100', ' 1', ' 101', 'añadir puntos', 'caja1'), "
                        "('2025-12-31 23:59:59', '0040', ' 950', ' 50', ' 1000', 'Modificar', 'caja1'), "
                        "('ayer', '0040', '*****', '', ' 1E+999', 'añadir puntos', 'caja1');\n");
        m_dir.emplace();
        const QString file = m_dir->filePath("socios.xlsx");
        const Result<WorkbookExported, WorkbookError> exported =
            exportWorkbook(m_store.address(), file, WorkbookOptions{kToday, 4});
        QVERIFY2(exported.ok(), exported ? "" : qPrintable(exported.error().toString(file)));
        QCOMPARE(exported->members, 6);
        QCOMPARE(exported->memberSheets, 2);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"socios.xlsx"});
        m_book = readWorkbook(file);
    }

    void cleanup()
    {
        for (const QStringList& undo : std::exchange(m_undoes, {}))
            QProcess::execute(undo.first(), undo.mid(1));
        m_home.reset();
    }

    void cells_data()
    {
        const DataTable<QString, QString, QString, QString> row("sheet", "cell", "kind", "value");
        row("header, bold", "Socios", "A1", "bold", "ntarjeta");
        row("header, last field", "Socios", "M1", "bold", "fcaducidad");
        row("header kept in view", "Socios", "frozen", "frozen", "1");
        row("a filter on every column", "Socios", "filter", "range", "A1:M4");
        row("leading zeros", "Socios", "A2", "text", "0007");
        row("postcode with a leading zero", "Socios", "F2", "text", "08905");
        row("telephone with a plus", "Socios", "H2", "text", "+34 600 22 33 44");
        row("birth date", "Socios", "J2", "text", "05/03/1980");
        row("leading blank", "Socios", "L2", "text", " 17.5");
        row("the empty mark", "Socios", "C3", "text", kEmptyMark);
        row("accents", "Socios", "D4", "text", "Núñez Peña");
        row("next sheet: its own header", "Socios 2", "A1", "bold", "ntarjeta");
        row("next sheet: header in view", "Socios 2", "frozen", "frozen", "1");
        row("next sheet: its filter", "Socios 2", "filter", "range", "A1:M4");
        row("next sheet: the fourth member", "Socios 2", "A2", "text", "0030");
        row("formula-like", "Socios 2", "C2", "text", "=1+1");
        row("formula-like @", "Socios 2", "E2", "text", "@SUMA(A1)");
        row("formula-like -", "Socios 2", "I2", "text", "-resta");
        row("blanks around", "Socios 2", "C3", "text", " Ana ");
        row("line break and escape-like text", "Socios 2", "K3", "text", "dos\r\nlíneas _x0041_");
        row("history: header", "Movimientos", "G1", "bold", "equipo");
        row("history: date and time", "Movimientos", "A2", "date", "2026-02-20 10:00:00");
        row("history: card", "Movimientos", "B2", "text", "0007");
        row("history: balance before", "Movimientos", "C2", "number", "0");
        row("history: change", "Movimientos", "D2", "number", "25");
        row("history: balance after", "Movimientos", "E2", "number", "25");
        row("history: operation", "Movimientos", "F2", "text", "añadir puntos");
        row("history: a negative change", "Movimientos", "D4", "number", "-35");
        row("history: next sheet", "Movimientos 2", "A2", "date", "2025-03-05 12:00:00");
        row("history: a date that is none", "Movimientos 3", "A2", "text", "ayer");
        row("history: no finite amount", "Movimientos 3", "E2", "text", " 1E+999");
        row("members", "Resumen", "B3", "number", "6");
        row("birthdays in the next nine days", "Resumen", "B4", "number", "2");
        row("points outstanding", "Resumen", "B5", "number", "1612");
        row("points added in 30 days", "Resumen", "B6", "number", "25");
        row("points reset in 30 days", "Resumen", "B7", "number", "35");
        row("12 months back: April 2025 first", "Resumen", "A10", "text", "abril 2025");
        row("added in January", "Resumen", "B19", "number", "10");
        row("added in February", "Resumen", "B20", "number", "25");
        row("added this month: a later date left out", "Resumen", "B21", "number", "0");
        row("birthdays in February", "Resumen", "E11", "number", "1");
        row("birthdays in March", "Resumen", "E12", "number", "4");
        row("balances of 0 or less", "Resumen", "H10", "number", "2");
        row("balances from 100 to 500", "Resumen", "H12", "number", "2");
        row("balances of 1000 or more", "Resumen", "H14", "number", "1");
        row("chart of the months", "charts", "chart1", "ranges", "Resumen!$A$10:$A$21 Resumen!$B$10:$B$21");
        row("chart of the birthdays", "charts", "chart2", "ranges", "Resumen!$D$10:$D$21 Resumen!$E$10:$E$21");
        row("chart of the balances", "charts", "chart3", "ranges", "Resumen!$G$10:$G$14 Resumen!$H$10:$H$14");
    }

    void cells()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, cell);
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QVERIFY2(m_book.contains(sheet), qPrintable(QStringList(m_book.keys()).join(", ")));
        QVERIFY2(m_book[sheet].contains(cell), qPrintable(sheet + "!" + cell + " is missing"));
        QCOMPARE(m_book[sheet][cell].kind, kind);
        QCOMPARE(m_book[sheet][cell].value, value);
    }

    void refused_data()
    {
        const DataTable<int, QString> row("exit", "err"); // the row's name says what fails
        row("full disk", 3, "cannot write");
        row("read-only folder", 3, "cannot write");
        row("a field longer than a cell", 3, "field observaciones of card 0099 holds 40000 characters");
        row("no member file", 1, "there is no member file");
        row("the member file itself", 4, "it is the member file");
    }

    void refused()
    {
        // socios --export-xlsx exits with an error and leaves the folder as it was: a workbook that was there stays.
        const QString failure = QTest::currentDataTag();
        QFETCH(int, exit);
        QFETCH(QString, err);
        const QTemporaryDir& home = m_home.emplace();
        QString folder = home.filePath("libro");
        QVERIFY(QDir().mkpath(folder));
        QString uri = m_store.uri();
        std::optional<TestStore> other;
        if (failure == "full disk" || failure == "read-only folder") {
            if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", folder}) != 0)
                QSKIP("needs to mount a small file system (root on a POSIX system)");
            m_undoes.prepend({"umount", folder});
            QFile old(folder + "/socios.xlsx");
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("el libro de ayer") > 0);
            old.close();
            if (failure == "full disk") {
                QFile filler(folder + "/relleno");
                QVERIFY(filler.open(QIODevice::WriteOnly));
                while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
                }
            } else {
                QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", folder}), 0);
            }
        } else if (failure == "a field longer than a cell") {
            MemberRecord huge = sampleMember("0099");
            huge.observaciones = QString(40000, 'x');
            other.emplace();
            other->create({sampleMember("0001"), huge});
            uri = other->uri();
        } else if (failure == "no member file") {
            uri = home.filePath("no/dorvel.mdb");
        }
        QString target = folder + "/socios.xlsx";
        if (failure == "the member file itself") {
            if (m_store.onServer())
                QSKIP("about the member file");
            target = m_store.uri();
            folder = QFileInfo(target).absolutePath();
        }
        const QMap<QString, QByteArray> before = folderContents(folder);
        const SociosRun run = runCommandLine(home.path(), {"--database", uri, "--export-xlsx", target});
        QCOMPARE(run.exitCode, exit);
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
        QCOMPARE(folderContents(folder), before);
    }
};

QTEST_GUILESS_MAIN(TestWorkbook)
#include "TestWorkbook.moc"
