#pragma once

#include <QString>
#include <QStringList>

// The one reading of database addresses: what names a server rather than a file, what of a
// server address may be shown, and whether it may be used.
namespace quel::db_pg {

// A database is named by a file path or by a server address
// ("postgresql://user@host:port/dbname", or libpq's "key=value" settings once opened). The
// address never holds a password: libpq takes it from ~/.pgpass or PGPASSWORD.
bool IsServerAddress(const QString& pathOrAddress);

// A server address read for its passwords: the form that may be shown (every password taken
// out, from "user:password@" and from password settings), the password texts it held (also
// percent-decoded), and whether a password was written at all (an empty one after the colon
// included).
struct ServerAddressParts
{
    QString shown;
    QStringList secrets;
    bool passwordWritten = false;
};
ServerAddressParts SplitServerAddress(const QString& address);

// The address with any password taken out, for messages, logs and the catalogue.
QString RedactedAddress(const QString& address);

// Whether a server address carries a password: "user:secret@host" or a "password=" setting.
// Such an address must never reach DB.txt, which anyone with the folder can read.
bool ServerAddressHoldsPassword(const QString& address);

// Why an address typed for a server database cannot be used; empty when it can (it names a
// server and holds no password). Whether the server answers is only known by opening it.
QString ServerAddressProblem(const QString& address);

// Shown when an address holds a password.
QString serverPasswordRefusedMessage();

} // namespace quel::db_pg
