#include "store/data_folder.h"

#include "store/catalogue.h"
#include "store/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quel::store {

namespace {

// An installed program keeps its template in <prefix>/share/quelmar, its programs in
// <prefix>/bin; a build keeps the template beside the programs.
QString installedTemplate(const QString& programDir)
{
    return QDir::cleanPath(programDir + QStringLiteral("/../share/quelmar/Null_Data.mdb"));
}

} // namespace

QString shippedTemplatePath(const QString& programDir)
{
    const QString beside = programDir + QStringLiteral("/Null_Data.mdb");
    if (QFileInfo(beside).isFile())
        return beside;
    return installedTemplate(programDir);
}

QString resolveDataFolder(
    const QStringList& arguments, const QString& quelmarHome, const QString& executableDir)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--data") && i + 1 < arguments.size())
            return QDir(arguments.at(i + 1)).absolutePath();
        if (arg.startsWith(QLatin1String("--data=")))
            return QDir(arg.mid(7)).absolutePath();
    }
    if (!quelmarHome.isEmpty())
        return QDir(quelmarHome).absolutePath();
    // An installed program's folder is shared by every user (and writable for root), so its
    // data go to the user's own folder.
    const QFileInfo exe(executableDir);
    if (!executableDir.isEmpty() && exe.isDir() && exe.isWritable()
        && !QFileInfo(installedTemplate(executableDir)).isFile())
        return exe.absoluteFilePath();
    return QDir::homePath() + QStringLiteral("/.local/share/quelmar");
}

QString resolveDataFolder(const QStringList& arguments)
{
    return resolveDataFolder(
        arguments, qEnvironmentVariable("QUELMAR_HOME"), QCoreApplication::applicationDirPath());
}

bool initialiseDataFolder(const QString& folder, const QString& programDir, QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        return fail(QStringLiteral("无法使用数据文件夹：") + folder);
    const QString templatePath = folder + QStringLiteral("/Null_Data.mdb");
    if (!QFileInfo::exists(templatePath)) {
        const QString shipped = shippedTemplatePath(programDir);
        bool installed = false;
        if (QFileInfo(shipped).isFile()
            && QFileInfo(shipped).absoluteFilePath() != QFileInfo(templatePath).absoluteFilePath())
            installed = QFile::copy(shipped, templatePath);
        // Without a shipped template the program writes its own, so a first start works.
        QString message;
        if (!installed && !writeTemplate(templatePath, &message))
            return fail(QStringLiteral("无法建立数据库模板：") + message);
        // A copied file keeps the shipped file's permissions; the copy must be writable.
        QFile::setPermissions(
            templatePath, QFile::permissions(templatePath) | QFileDevice::WriteOwner);
    }
    const Catalogue catalogue(folder);
    const QString dataPath = folder + QStringLiteral("/DATA.mdb");
    if (!catalogue.catalogueExists() && !QFileInfo::exists(dataPath)) {
        if (!QFile::copy(templatePath, dataPath))
            return fail(QStringLiteral("无法建立数据库：") + dataPath);
        QFile::setPermissions(dataPath, QFile::permissions(dataPath) | QFileDevice::WriteOwner);
    }
    return true;
}

} // namespace quel::store
