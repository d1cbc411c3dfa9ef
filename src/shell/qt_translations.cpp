// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace quel::shell {

QLocale QtTextsLocale(const QLocale& user)
{
    if (user.language() == QLocale::Chinese)
        return user;
    return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
}

bool InstallQtTranslations(QCoreApplication& app, const QLocale& user)
{
    const QLocale locale = QtTextsLocale(user);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, which keeps using it until it ends.
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

} // namespace quel::shell
