#include "store/StoreAddress.h"

#include "store/MemberStore.h"
#include "store/Schema.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString kSchemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

// The connection parameters of libpq that an address may set. Others (service files, GSSAPI details, ...) are
// left to libpq's own configuration.
const QStringList kParameters = {
    QStringLiteral("host"),
    QStringLiteral("hostaddr"),
    QStringLiteral("port"),
    QStringLiteral("dbname"),
    QStringLiteral("user"),
    QStringLiteral("password"),
    QStringLiteral("passfile"),
    QStringLiteral("sslmode"),
    QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),
    QStringLiteral("sslkey"),
    QStringLiteral("sslcrl"),
    QStringLiteral("connect_timeout"),
    QStringLiteral("application_name"),
    QStringLiteral("options"),
    QStringLiteral("keepalives_idle"),
    QStringLiteral("keepalives_interval"),
    QStringLiteral("keepalives_count"),
    QStringLiteral("tcp_user_timeout"),
    QStringLiteral("target_session_attrs"),
};

// The keys of socios.conf's [server] group, and the parameter each one sets.
const QList<std::pair<QString, QString>> kConfigurationKeys = {
    {QStringLiteral("host"), QStringLiteral("host")},       {QStringLiteral("port"), QStringLiteral("port")},
    {QStringLiteral("database"), QStringLiteral("dbname")}, {QStringLiteral("user"), QStringLiteral("user")},
    {QStringLiteral("sslmode"), QStringLiteral("sslmode")},
};

bool startsWithScheme(const QString& text)
{
    for (const QString& scheme : kSchemes)
        if (text.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    return false;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The text of an address for a message: a password it holds is cut out.
QString withoutPassword(const QString& text)
{
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.password().isEmpty())
        return text;
    return url.toString(QUrl::RemovePassword);
}

} // namespace

StoreAddress StoreAddress::file(const QString& path)
{
    StoreAddress address;
    address.m_kind = Kind::File;
    address.m_path = path;
    return address;
}

std::optional<StoreAddress> StoreAddress::server(const QMap<QString, QString>& parameters, QString* error)
{
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
        if (!kParameters.contains(it.key())) {
            setError(error, QStringLiteral("%1 is not a connection parameter of PostgreSQL").arg(it.key()));
            return std::nullopt;
        }
        // libpq's connection strings are read up to the next blank or, through Qt's driver, semicolon: a value is
        // quoted, but a semicolon would still end it.
        if (it.value().contains(QLatin1Char(';')) || it.value().contains(QLatin1Char('\0'))) {
            setError(error, QStringLiteral("the value of %1 holds a character that cannot be passed on").arg(it.key()));
            return std::nullopt;
        }
    }
    if (parameters.contains(QStringLiteral("port"))) {
        bool number = false;
        const int port = parameters.value(QStringLiteral("port")).toInt(&number);
        if (!number || port < 1 || port > 65535) {
            setError(error, QStringLiteral("the port %1 is not a number from 1 to 65535")
                                .arg(parameters.value(QStringLiteral("port"))));
            return std::nullopt;
        }
    }
    StoreAddress address;
    address.m_kind = Kind::Server;
    address.m_parameters = parameters;
    return address;
}

std::optional<StoreAddress> StoreAddress::parse(const QString& text, QString* error)
{
    if (text.isEmpty()) {
        setError(error, QStringLiteral("the address is empty"));
        return std::nullopt;
    }
    if (!startsWithScheme(text))
        return file(text);

    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        setError(error, QStringLiteral("%1 is not a valid address: %2").arg(withoutPassword(text), url.errorString()));
        return std::nullopt;
    }
    QMap<QString, QString> parameters;
    if (!url.host().isEmpty())
        parameters.insert(QStringLiteral("host"), url.host(QUrl::FullyDecoded));
    if (url.port() != -1)
        parameters.insert(QStringLiteral("port"), QString::number(url.port()));
    if (!url.userName().isEmpty())
        parameters.insert(QStringLiteral("user"), url.userName(QUrl::FullyDecoded));
    if (!url.password().isEmpty())
        parameters.insert(QStringLiteral("password"), url.password(QUrl::FullyDecoded));
    const QString path = url.path(QUrl::FullyDecoded);
    if (path.size() > 1)
        parameters.insert(QStringLiteral("dbname"), path.mid(1));
    if (url.hasFragment()) {
        setError(error, QStringLiteral("a server address has no fragment (#)"));
        return std::nullopt;
    }
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (parameters.contains(key)) {
            setError(error, QStringLiteral("the address gives %1 twice").arg(key));
            return std::nullopt;
        }
        parameters.insert(key, value);
    }
    return server(parameters, error);
}

QString StoreAddress::connectOptions(const QMap<QString, QString>& defaults) const
{
    QMap<QString, QString> all = defaults;
    all.insert(m_parameters);
    QStringList options;
    for (auto it = all.begin(); it != all.end(); ++it) {
        QString value = it.value();
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        value.replace(QLatin1Char('\''), QLatin1String("\\'"));
        options << it.key() + QStringLiteral("='") + value + QLatin1Char('\'');
    }
    return options.join(QLatin1Char(';'));
}

QString StoreAddress::displayName() const
{
    if (m_kind == Kind::File)
        return m_path;
    const QString host = parameter(QStringLiteral("host"));
    const bool socketFolder = host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
    QString name = QStringLiteral("postgresql://");
    if (!parameter(QStringLiteral("user")).isEmpty())
        name += parameter(QStringLiteral("user")) + QLatin1Char('@');
    const QString port = parameter(QStringLiteral("port"));
    if (!socketFolder) {
        name += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
        if (!port.isEmpty())
            name += QLatin1Char(':') + port;
    }
    name += QLatin1Char('/') + parameter(QStringLiteral("dbname"));
    if (socketFolder)
        name += QStringLiteral("?host=") + host + (port.isEmpty() ? QString() : QStringLiteral("&port=") + port);
    return name;
}

bool StoreAddress::isMemberFile(const QString& file) const
{
    if (isServer())
        return false;
    const QFileInfo target(file);
    const QString member = QFileInfo(m_path).canonicalFilePath();
    if (member.isEmpty())
        return false;
    // A name of its own that does not exist yet leads to no file: its folder and name are compared instead.
    const QString folder = QFileInfo(target.absolutePath()).canonicalFilePath();
    const QString named = target.exists() ? target.canonicalFilePath() : folder + QLatin1Char('/') + target.fileName();
    for (const QString& side : QStringList{QString()} + kSideFileSuffixes)
        if (named == member + side)
            return true;
    return false;
}

QString configurationFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/socios.conf");
}

StoreChoice chooseStore(const QString& database)
{
    QString error;
    if (!database.isEmpty()) {
        std::optional<StoreAddress> address = StoreAddress::parse(database, &error);
        if (!address)
            return {std::nullopt, QStringLiteral("--database: ") + error};
        return {std::move(address), {}};
    }

    // Without a home folder, neither the configuration file nor the member file has its place.
    const Result<QString, MemberStore::NoPlace> memberFile = MemberStore::defaultPath();
    if (!memberFile)
        return {std::nullopt, memberFile.error().reason, StoreChoice::About::HomeFolder};
    const QString path = configurationFile();
    if (!QFileInfo::exists(path))
        return {StoreAddress::file(*memberFile), {}};
    if (!QFileInfo(path).isReadable())
        return {std::nullopt, path + QStringLiteral(" cannot be read")};
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return {std::nullopt, path + QStringLiteral(" is not an INI file")};
    if (!settings.childGroups().contains(QStringLiteral("server")))
        return {StoreAddress::file(*memberFile), {}};
    settings.beginGroup(QStringLiteral("server"));
    QMap<QString, QString> parameters;
    for (const QString& key : settings.childKeys()) {
        if (key == QStringLiteral("password"))
            return {std::nullopt, path + QStringLiteral(": the password never goes into the configuration file; put "
                                                        "it into ~/.pgpass (or the file PGPASSFILE names)")};
        const auto known = std::find_if(kConfigurationKeys.begin(), kConfigurationKeys.end(),
                                        [&](const auto& entry) { return entry.first == key; });
        if (known == kConfigurationKeys.end())
            return {std::nullopt, path + QStringLiteral(": [server] has no key %1 (it takes host, port, database, "
                                                        "user and sslmode)")
                                             .arg(key)};
        // QSettings reads a value with commas as a list.
        const QString value = settings.value(key).toStringList().join(QLatin1Char(',')).trimmed();
        if (!value.isEmpty())
            parameters.insert(known->second, value);
    }
    std::optional<StoreAddress> address = StoreAddress::server(parameters, &error);
    if (!address)
        return {std::nullopt, path + QStringLiteral(": ") + error};
    return {std::move(address), {}};
}
