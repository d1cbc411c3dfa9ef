#pragma once

#include <QString>

namespace quel::db_pg {

// Whether a server address carries a password: "user:secret@host" or a "password=" setting.
// Such an address must never reach DB.txt, which anyone with the folder can read.
bool ServerAddressHoldsPassword(const QString& address);

// Why an address typed for a server database cannot be used; empty when it can (it names a
// server and holds no password). Whether the server answers is only known by opening it.
QString ServerAddressProblem(const QString& address);

// Shown when an address holds a password.
QString serverPasswordRefusedMessage();

} // namespace quel::db_pg
