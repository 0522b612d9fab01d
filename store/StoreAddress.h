#pragma once

#include <QMap>
#include <QString>

#include <optional>

// Where the members are kept: an SQLite member file, or table "ficha" of a PostgreSQL database that the tills of
// several shops share.
class StoreAddress
{
public:
    enum class Kind { File, Server };

    // The SQLite member file at `path`.
    static StoreAddress file(const QString& path);

    // A server address, postgresql://[user[:password]@][host][:port][/database][?parameter=value&...] (or
    // postgres://), as libpq reads it: "postgresql://caja@tienda:5432/socios",
    // "postgresql:///socios?host=/run/postgresql". Any other text is the path of a member file. No value, and
    // `error` says why, for an address that cannot be used.
    static std::optional<StoreAddress> parse(const QString& text, QString* error = nullptr);

    // A server from the connection parameters libpq takes (host, port, dbname, user, sslmode, ...); no value, and
    // `error` says why, when one of them is not a connection parameter.
    static std::optional<StoreAddress> server(const QMap<QString, QString>& parameters, QString* error = nullptr);

    Kind kind() const { return m_kind; }
    bool isServer() const { return m_kind == Kind::Server; }

    // File: the member file.
    const QString& path() const { return m_path; }
    // Server: the connection parameters, keyword to value. A password, when the address carried one, is among
    // them; libpq otherwise reads it from ~/.pgpass or PGPASSFILE.
    const QMap<QString, QString>& parameters() const { return m_parameters; }
    QString parameter(const QString& keyword) const { return m_parameters.value(keyword); }

    // Server: the connection parameters as Qt's PostgreSQL driver takes them in QSqlDatabase::setConnectOptions()
    // (keyword='value', separated by semicolons), the password included; `defaults` fills in what the address
    // does not set. For whatever connects to the server: the store, and tools beside it.
    QString connectOptions(const QMap<QString, QString>& defaults = {}) const;

    // What messages show: the file's path, or the server as postgresql://user@host:port/database (never with a
    // password).
    QString displayName() const;

    // File: whether `file` is the member file itself, or the log or journal beside it, under whatever name leads
    // there: what a file written by a command must never replace.
    bool isMemberFile(const QString& file) const;

    bool operator==(const StoreAddress&) const = default;

private:
    Kind m_kind = Kind::File;
    QString m_path;
    QMap<QString, QString> m_parameters;
};

// The configuration file socios.conf (INI) in the system's folder for application settings:
// ~/.config/socios/socios.conf on Linux.
QString configurationFile();

// The store a run of socios uses: the --database value when one is given, else the server that the
// configuration file names in its [server] group (host, port, database, user, sslmode; a password never), else the
// member file at its usual place. `error`, when not empty, says in one English line what is wrong with the
// configuration file (or the --database value), or why there is no home folder to hold them, and `address` is then
// unset.
struct StoreChoice
{
    std::optional<StoreAddress> address;
    QString error;
    enum class About { Configuration, HomeFolder };
    About about = About::Configuration; // what `error` is about
};
StoreChoice chooseStore(const QString& database = {});
