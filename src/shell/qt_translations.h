// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

namespace quel::shell {

// The locale whose Qt translations the program loads: the user's when it is a Chinese one,
// else simplified Chinese, since every text of the program's own is in simplified Chinese
// and a dialog in another language would stand out in it.
QLocale QtTextsLocale(const QLocale& user);

// Installs Qt's own translations (qtbase: the standard dialogs' 保存, 取消, 查找范围, ...)
// for that locale from the folder Qt keeps them in. False when none could be loaded (the
// translations package missing); the dialogs then keep Qt's English texts.
bool InstallQtTranslations(QCoreApplication& app, const QLocale& user = QLocale::system());

} // namespace quel::shell
