// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/database_messages.h"

namespace quel::shell {

QString NewDatabaseMessage(const store::NewDatabaseOutcome& outcome)
{
    using Kind = store::NewDatabaseOutcome::Kind;
    const QString& name = outcome.name;
    const QString failed = QStringLiteral("数据库‘") + name + QStringLiteral("’新建失败！");
    switch (outcome.kind) {
    case Kind::Created:
        return QStringLiteral("数据库‘") + name + QStringLiteral("’新建成功！");
    case Kind::Nothing:
        return QString();
    case Kind::NameTaken:
        return QStringLiteral("数据库（") + name + QStringLiteral("）已存在，请起其他名称！");
    case Kind::Failed:
        return failed;
    case Kind::AddressProblem:
        return failed + u'\n' + outcome.detail;
    case Kind::AddressListed:
        return failed + QStringLiteral("\n这个服务器数据库已在列表中（‘") + outcome.detail
            + QStringLiteral("’）。");
    case Kind::Unreachable:
        return failed + QStringLiteral("\n无法连接服务器上的数据库：") + outcome.address
            + QStringLiteral("（") + outcome.detail + QStringLiteral("）");
    }
    return failed;
}

QString DeleteDatabaseMessage(store::DeleteOutcome outcome)
{
    switch (outcome) {
    case store::DeleteOutcome::DefaultRefused:
        return QStringLiteral("默认数据库不允许删除！");
    case store::DeleteOutcome::InUseRefused:
        return QStringLiteral("当前正在操作的数据不允许删除！");
    case store::DeleteOutcome::Deleted:
    case store::DeleteOutcome::NotDeleted:
        break;
    }
    return QString();
}

QString ServerRemovalQuestion(const QString& name, const QString& address)
{
    return QStringLiteral("数据库‘") + name + QStringLiteral("’在服务器上（") + address
        + QStringLiteral("）。删除只从数据库列表中去掉这一项，服务器上的数据库和数据都不会被删除。"
                         "\n确定要从列表中去掉它吗？");
}

} // namespace quel::shell
