#include "cli/CommandLine.h"

#include "cli/CommandLineText.h"
#include "cli/DataCommands.h"
#include "cli/ImportAccessCommand.h"
#include "cli/WorkbookCommand.h"
#include "store/MemberStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {

// The options that select a command-line mode; at most one may be given.
struct ModeOption
{
    CommandLine::Mode mode;
    const char* name;
    const char* valueName;   // nullptr: a flag; translated, as the description names it
    const char* description; // translated
};

constexpr ModeOption kModes[] = {
    {CommandLine::Mode::Help, "help", nullptr, QT_TRANSLATE_NOOP("CommandLineText", "Shows this help and exits.")},
    {CommandLine::Mode::Version, "version", nullptr,
     QT_TRANSLATE_NOOP("CommandLineText", "Shows the version and exits.")},
    {CommandLine::Mode::ImportAccess, "import-access", QT_TRANSLATE_NOOP("CommandLineText", "FILE"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Copies table ficha of the Access file FILE into the member file, made as a first start makes "
                       "it when there is none. Refused when the member file holds members.")},
    {CommandLine::Mode::ExportCsv, "export-csv", QT_TRANSLATE_NOOP("CommandLineText", "FILE"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Writes every member, in table order, to the CSV file FILE: a header with the field names, ';' "
                       "between fields, UTF-8 with a byte-order mark, as Excel and LibreOffice open it.")},
    {CommandLine::Mode::ExportWorkbook, "export-xlsx", QT_TRANSLATE_NOOP("CommandLineText", "FILE"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Writes the workbook FILE (.xlsx) for a spreadsheet: every member, in table order, as text "
                       "exactly as stored (sheet Socios), the points history (Movimientos) and the figures of the "
                       "scheme with charts (Resumen).")},
    {CommandLine::Mode::ImportCsv, "import-csv", QT_TRANSLATE_NOOP("CommandLineText", "FILE"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Copies the members of the CSV file FILE (as --export-csv writes it, or as a spreadsheet saves "
                       "it: ';' or ',', UTF-8 or Windows-1252) into the member file. Refused when the member file "
                       "holds members.")},
    {CommandLine::Mode::Backup, "backup", QT_TRANSLATE_NOOP("CommandLineText", "DIR"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Writes a checked copy of the member file, named by the date and time, into the folder DIR, "
                       "while tills may go on working.")},
    {CommandLine::Mode::Restore, "restore", QT_TRANSLATE_NOOP("CommandLineText", "COPY"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Puts the checked copy COPY (with the log beside it, if any) in place of the member file in one "
                       "step, keeping the current file under another name in the same folder. Refused while a till "
                       "has the member file open, and when the copy's tables are not exactly those that socios "
                       "writes.")},
    {CommandLine::Mode::History, "history", QT_TRANSLATE_NOOP("CommandLineText", "CARD"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Prints the points history of the card number CARD, oldest first: date and time, operation, "
                       "balance before, change, balance after and computer, separated by tabs.")},
    {CommandLine::Mode::MemberData, "member-data", QT_TRANSLATE_NOOP("CommandLineText", "CARD"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Prints, as UTF-8 JSON, everything the store holds about the card number CARD: its rows of "
                       "ficha with every field as stored, its points history, and whether the register of erasures "
                       "names it.")},
    {CommandLine::Mode::Erase, "erase", QT_TRANSLATE_NOOP("CommandLineText", "CARD"),
     QT_TRANSLATE_NOOP("CommandLineText",
                       "Erases the card number CARD for good, while tills may go on working: its rows of ficha and its "
                       "points history, in one step, leaving no trace in the member file; then rewrites every copy in "
                       "MIS PROGRAMAS/copias without it. The register of erasures keeps the number and the day, so "
                       "that a restore erases it again.")},
};

// The first line of the help, a sentence of Qt's own, which socios's translations word as the system's other commands
// word it ("Modo de empleo:" in Spanish), so that the manual page's tools find the synopsis in it.
[[maybe_unused]] constexpr const char* kUsage = QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1");

// The option that chooses the store, for the window and every mode alike.
const char* const kDatabase = "database";

// Options that QApplication takes for itself in window mode ("-platform offscreen"); accepted and left to it.
constexpr const char* kToolkitOptions[] = {"platform",        "platformtheme", "plugin",     "style",
                                           "stylesheet",      "session",       "display",    "geometry",
                                           "qwindowgeometry", "qwindowtitle",  "qwindowicon"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(CommandLineText::tr(
        "Keeps the members of a loyalty-points card scheme. Without options, opens the window on the member file."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const ModeOption& option : kModes) {
        QStringList names{QLatin1String(option.name)};
        if (option.mode == CommandLine::Mode::Help)
            names.prepend(QStringLiteral("h"));
        if (option.mode == CommandLine::Mode::Version)
            names.prepend(QStringLiteral("v"));
        parser.addOption(QCommandLineOption(names, CommandLineText::tr(option.description),
                                            option.valueName ? CommandLineText::tr(option.valueName) : QString()));
    }
    parser.addOption(QCommandLineOption(
        QLatin1String(kDatabase),
        CommandLineText::tr("Uses the member store at URI for this run instead of the one in socios.conf or the member "
                            "file at its usual place: a PostgreSQL server (postgresql://user@host:port/database, or "
                            "postgresql:///database?host=/run/postgresql; the password comes from ~/.pgpass) or the "
                            "path of a member file."),
        CommandLineText::tr("URI")));
    for (const char* name : kToolkitOptions) {
        QCommandLineOption option(QLatin1String(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kToolkitFlags) {
        QCommandLineOption option{QLatin1String(name)};
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    describe(parser);
    CommandLine command;
    if (!parser.parse(arguments))
        return {CommandLine::Mode::UsageError, {}, parser.errorText(), {}};
    if (!parser.positionalArguments().isEmpty())
        return {CommandLine::Mode::UsageError,
                {},
                CommandLineText::tr("unexpected argument: %1").arg(parser.positionalArguments().constFirst()),
                {}};
    for (const ModeOption& option : kModes) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        if (command.mode != CommandLine::Mode::Window)
            return {CommandLine::Mode::UsageError,
                    {},
                    CommandLineText::tr("--%1 cannot be combined with another mode").arg(name),
                    {}};
        command.mode = option.mode;
        if (option.valueName)
            command.value = parser.value(name);
    }
    if (parser.isSet(QLatin1String(kDatabase))) {
        command.database = parser.value(QLatin1String(kDatabase));
        QString error;
        if (!StoreAddress::parse(command.database, &error))
            return {CommandLine::Mode::UsageError, {}, QStringLiteral("--database: ") + error, {}};
    }
    return command;
}

int runCommandLine(const CommandLine& command)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (command.mode) {
    case CommandLine::Mode::Help: {
        QCommandLineParser parser;
        describe(parser);
        out << parser.helpText();
        return kExitOk;
    }
    case CommandLine::Mode::Version:
        out << QCoreApplication::applicationName() << ' ' << QCoreApplication::applicationVersion() << '\n';
        return kExitOk;
    case CommandLine::Mode::ImportAccess:
    case CommandLine::Mode::ExportCsv:
    case CommandLine::Mode::ExportWorkbook:
    case CommandLine::Mode::ImportCsv:
    case CommandLine::Mode::Backup:
    case CommandLine::Mode::Restore:
    case CommandLine::Mode::History:
    case CommandLine::Mode::MemberData:
    case CommandLine::Mode::Erase: {
        const StoreChoice store = chooseStore(command.database);
        if (!store.address) {
            err << "socios: " << store.error << '\n';
            return kExitStoreFailure;
        }
        switch (command.mode) {
        case CommandLine::Mode::ImportAccess:
            return runImportAccess(command.value, *store.address, out, err);
        case CommandLine::Mode::ExportCsv:
            return runExportCsv(command.value, *store.address, out, err);
        case CommandLine::Mode::ExportWorkbook:
            return runExportWorkbook(command.value, *store.address, out, err);
        case CommandLine::Mode::ImportCsv:
            return runImportCsv(command.value, *store.address, out, err);
        case CommandLine::Mode::Backup:
            return runBackup(command.value, *store.address, out, err);
        case CommandLine::Mode::Restore:
            return runRestore(command.value, *store.address, out, err);
        case CommandLine::Mode::MemberData:
            return runMemberData(command.value, *store.address, out, err);
        case CommandLine::Mode::Erase:
            return runErase(command.value, *store.address, out, err);
        default:
            return runHistory(command.value, *store.address, out, err);
        }
    }
    case CommandLine::Mode::UsageError:
        err << "socios: " << command.error << '\n' << CommandLineText::tr("Try 'socios --help'.") << '\n';
        return kExitUsage;
    case CommandLine::Mode::Window:
        break;
    }
    err << "socios: " << CommandLineText::tr("this mode needs the window") << '\n';
    return kExitUsage;
}
