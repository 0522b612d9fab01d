#include "csv/Csv.h"
#include "csv/CsvTransfer.h"
#include "tests/support/TestSupport.h"
#include "window/Form1.h"

#include <QDir>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

using Kind = ImportError::Kind;
Q_DECLARE_METATYPE(ImportError::Kind)

// Members out to CSV and back, hostile texts included; files as spreadsheets save them; files refused with the
// member file left as it was.
class TestCsv : public QObject
{
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    QList<QStringList> m_undoes; // commands that undo what a test changed beyond its folder

    QString write(const QByteArray& bytes)
    {
        const QString path = m_dir->filePath("socios.csv");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // A member file of `count` members of some 100 bytes each.
    QString memberFileOf(int count)
    {
        const QString path = createMemberFile(*m_dir);
        execSql(path, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                     "INSERT INTO ficha SELECT i, i, 'Ana', 'García López', 'Calle Mayor, 5', '28001', "
                                     "'Madrid', '600000000', 'ana@example.org', '13/03/1985', 'nota', ' 150', "
                                     "'12/2030' FROM n")
                          .arg(count));
        return path;
    }

    // The fields that hold no value (NULL) in the member file: every reader of the row refuses them.
    static QStringList missingValues(const QString& path)
    {
        QStringList found;
        for (Field f : allFields())
            if (execSql(path, QStringLiteral("SELECT count(*) FROM ficha WHERE %1 IS NULL").arg(fieldName(f)))
                    .value(0)
                    .value(0) != "0")
                found << QLatin1String(fieldName(f));
        return found;
    }

private slots:
    void init() { m_dir.emplace(); }

    void cleanup()
    {
        for (const QStringList& command : std::exchange(m_undoes, {}))
            QProcess::execute(command.first(), command.mid(1));
    }

    void roundTrip()
    {
        QList<MemberRecord> rows;
        for (const QString& text : QStringList{"Texto \"entre comillas\"; con punto y coma", "dos\r\nlíneas\nmás",
                                               "=1+1", "+34600000000", "@SUMA(A1)", "-resta", "-2+3+cmd|' /C calc'!A0",
                                               "-5", " 17.5", "-.5", "-1,5", "-1E+20", "'ya con apóstrofo", "''dos",
                                               "\tcon tabulador", "😀 emoji", "עברית right to left", "", kEmptyMark}) {
            MemberRecord row = sampleMember(QString::number(rows.size()), text, "");
            row.observaciones = text;
            rows << row;
        }
        const QString path = createMemberFile(*m_dir, rows);
        const QString csv = m_dir->filePath("socios.csv");
        const auto exported = exportMembers(MemberStore(path), csv);
        QCOMPARE(exported->members, rows.size());

        // What a spreadsheet could run is defused; a plain number is not.
        const QByteArray bytes = fileBytes(csv);
        QVERIFY(bytes.startsWith(Csv::kByteOrderMark + "ntarjeta;nsocio;nombre;apellidos;"));
        for (const char* cell :
             {";'=1+1;", ";'+34600000000;", ";'@SUMA(A1);", ";'-resta;", ";'-2+3+cmd|' /C calc'!A0;", ";-5;", ";-.5;",
              ";-1,5;", ";-1E+20;", ";''ya con", ";\"Texto \"\"entre comillas\"\"; con punto y coma\";"})
            QVERIFY2(bytes.contains(cell), cell);

        // Back byte for byte, empty texts included, into a member file that the program starts on.
        const QString other = m_dir->filePath("otra/dorvel.mdb");
        const ImportResult<CsvImported> imported = importMembers(csv, StoreAddress::file(other));
        QVERIFY2(imported.ok(), imported ? "" : qPrintable(imported.error().toString()));
        QCOMPARE(imported->members, rows.size());
        QCOMPARE(allRows(other), rows);
        QCOMPARE(missingValues(other), QStringList());
        QVERIFY(exportMembers(MemberStore(other), m_dir->filePath("otra.csv")).ok());
        QCOMPARE(fileBytes(m_dir->filePath("otra.csv")), bytes);
        Form1 form;
        VERIFY_OK(form.load(MemberStore(other), FixedClock(QDate(2026, 3, 10))));
    }

    void exportToAFullDisk_data()
    {
        // members: some 100 bytes each. fileBefore: a file of other contents stood at the export's place.
        const DataTable<int, bool> row("members", "fileBefore");
        row("cut short", 1000, false);
        row("0 bytes free, over a file", 5, true);
    }

    void exportToAFullDisk()
    {
        // A file system of 64 KiB: the export fails, and leaves its place as it was.
        QFETCH(int, members);
        QFETCH(bool, fileBefore);
        const QString disk = m_dir->filePath("disco"), csv = disk + "/socios.csv";
        if (!mountSmallDisk(disk, "64k", m_undoes))
            QSKIP("needs to mount a small file system (root on Linux)");
        const QString path = memberFileOf(members);
        if (fileBefore) {
            QFile before(csv);
            QVERIFY(before.open(QIODevice::WriteOnly) && before.write("antes\n") == 6);
            before.close();
            fillDisk(disk + "/relleno");
            QCOMPARE(QStorageInfo(disk).bytesAvailable(), 0);
        }
        const QMap<QString, QByteArray> contents = folderContents(disk);

        const auto exported = exportMembers(MemberStore(path), csv);
        const CsvExportError* failed = exported ? nullptr : &exported.error();
        QVERIFY(failed && !failed->store);
        QCOMPARE(failed->file, csv);
        QCOMPARE(failed->detail, "No space left on device");
        QCOMPARE(folderContents(disk), contents);
    }

    void wholeFileWorkHasItsOwnTime()
    {
        // The limit of a till's operation, however short, never stops an export of the whole file.
        MemberStore store(memberFileOf(2000));
        store.setTimeLimit(std::chrono::milliseconds(0));
        const auto exported = exportMembers(store, m_dir->filePath("socios.csv"));
        const CsvExportError* failed = exported ? nullptr : &exported.error();
        QVERIFY2(!failed, failed && failed->store ? qPrintable(failed->store->toString()) : "");
        QCOMPARE(exported->members, 2000);
    }

    void spreadsheetFiles_data()
    {
        const DataTable<QByteArray, QStringList> row("bytes", "nombres"); // the names of the members read
        const QByteArray header = "ntarjeta;nsocio;nombre;apellidos;calle;cp;ciudad;telefono;email;fnacimiento;"
                                  "observaciones;puntos;fcaducidad\r\n";
        row("Excel: ';' and Windows-1252, no mark",
            header + "0001;1;Mu\xf1oz;Pe\xf1"
                     "a;;;;;;;;;\r\n",
            {"Muñoz"});
        row("LibreOffice: ',' and UTF-8 with a mark, quoted",
            Csv::kByteOrderMark + QByteArray(header).replace(';', ',') + "\"0001\",\"1\",\"José, el de la esquina\"" +
                QByteArray(",x", 2).repeated(10) + "\n",
            {"José, el de la esquina"});
        row("columns in another order and case, one more, empty cells and cells left out at the end",
            "NOMBRE;Extra;ntarjeta;nsocio;apellidos;calle;cp;ciudad;telefono;email;fnacimiento;observaciones;"
            "puntos;fcaducidad\nAna;x;0001\nEva;y;0002;;;\n",
            {"Ana", "Eva"});
        row("blank lines", header + "\r\n0001;1;Ana\r\n\r\n", {"Ana"});
    }

    void spreadsheetFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, nombres);
        const QString path = m_dir->filePath("dorvel.mdb");
        QVERIFY(importMembers(write(bytes), StoreAddress::file(path)).ok());
        QStringList read;
        for (const MemberRecord& row : allRows(path))
            read << row.nombre;
        QCOMPARE(read, nombres);
        QCOMPARE(missingValues(path), QStringList()); // an empty cell, or one left out, is the empty text
    }

    void refused_data()
    {
        const DataTable<QByteArray, Kind, QString> row("bytes", "kind", "detail");
        const QByteArray header = "ntarjeta;nsocio;nombre;apellidos;calle;cp;ciudad;telefono;email;fnacimiento;"
                                  "observaciones;puntos;fcaducidad\r\n";
        row("a field missing", "ntarjeta;nombre\n0001;Ana\n", Kind::MissingField, "nsocio");
        row("a quote never closed", header + "0001;\"Ana\n0002\n", Kind::BadValue, "line 2");
        row("a cell too many: a separator in an address",
            header + "0001;1;Ana\r\n0002;1;Eva;Pérez;Calle Mayor; 5;28001;Madrid;;;;nota; 150;12/2030\r\n",
            Kind::BadValue, "line 3: 14 cells, but the header has 13");
        row("a UTF-8 mark, then a byte of another code page",
            Csv::kByteOrderMark + header + "0001;1;José\r\n0002;1;Jos\xe9\r\n", Kind::BadValue,
            "line 3: not UTF-8, although the file starts with a UTF-8 byte-order mark");
        row("an empty file", "", Kind::BadValue, "no header");
        row("members already there", "", Kind::HoldsMembers, "holds 1 members");
    }

    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Kind, kind);
        QFETCH(QString, detail);
        const bool holding = kind == Kind::HoldsMembers;
        const QString path = holding ? createMemberFile(*m_dir, {sampleMember("0001")}) : m_dir->filePath("dorvel.mdb");
        const QString csv = holding ? m_dir->filePath("exportado.csv") : write(bytes);
        if (holding)
            QVERIFY(exportMembers(MemberStore(path), csv).ok());
        const QByteArray before = fileBytes(path);
        const ImportResult<CsvImported> refused = importMembers(csv, StoreAddress::file(path));
        QVERIFY(!refused);
        QCOMPARE(refused.error().kind, kind);
        QVERIFY2(refused.error().toString().contains(detail), qPrintable(refused.error().toString()));
        QCOMPARE(fileBytes(path), before);
        if (!holding) // nothing made, not even a temporary file
            QCOMPARE(QDir(m_dir->path()).entryList({"dorvel.mdb*"}), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "TestCsv.moc"
