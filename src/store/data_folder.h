#pragma once

#include <QString>
#include <QStringList>

namespace quel::store {

// The data folder, where the catalogue, the databases and the worker files live:
// "--data DIR" among the arguments, else QUELMAR_HOME, else the executable's folder when it
// is writable and not an installed program's (whose template lies in ../share/quelmar),
// else ~/.local/share/quelmar. Returns an absolute path.
QString resolveDataFolder(
    const QStringList& arguments, const QString& quelmarHome, const QString& executableDir);
// The same from the running process (arguments, environment, application folder).
QString resolveDataFolder(const QStringList& arguments);

// The empty template the program ships: beside the program, or in ../share/quelmar when
// it is installed.
QString shippedTemplatePath(const QString& programDir);

// Prepares the data folder for a first start: creates it, installs Null_Data.mdb from the
// program folder when missing, and creates DATA.mdb from the template when there is no
// catalogue and no DATA.mdb. False with a message text when the folder cannot be used.
bool initialiseDataFolder(const QString& folder, const QString& programDir, QString* error);

} // namespace quel::store
