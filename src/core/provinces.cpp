// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/provinces.h"

namespace quel::core {

const QStringList& ProvinceTable()
{
    static const QStringList table {
        QStringLiteral("北京"),
        QStringLiteral("天津"),
        QStringLiteral("上海"),
        QStringLiteral("重庆"),
        QStringLiteral("内蒙古"),
        QStringLiteral("新疆"),
        QStringLiteral("西藏"),
        QStringLiteral("宁夏"),
        QStringLiteral("广西"),
        QStringLiteral("香港"),
        QStringLiteral("澳门"),
        QStringLiteral("黑龙江"),
        QStringLiteral("吉林"),
        QStringLiteral("辽宁"),
        QStringLiteral("河北"),
        QStringLiteral("山西"),
        QStringLiteral("青海"),
        QStringLiteral("山东"),
        QStringLiteral("河南"),
        QStringLiteral("江苏"),
        QStringLiteral("安徽"),
        QStringLiteral("浙江"),
        QStringLiteral("福建"),
        QStringLiteral("江西"),
        QStringLiteral("湖南"),
        QStringLiteral("湖北"),
        QStringLiteral("广东"),
        QStringLiteral("台湾"),
        QStringLiteral("海南"),
        QStringLiteral("甘肃"),
        QStringLiteral("陕西"),
        QStringLiteral("四川"),
        QStringLiteral("贵州"),
        QStringLiteral("云南"),
        QStringLiteral("其他"),
        QStringLiteral("未知"),
        QStringLiteral("海外"),
    };
    return table;
}

QString ProvinceOf(const QString& location)
{
    const QString trimmed = location.trimmed();
    for (const QString& entry : ProvinceTable()) {
        if (trimmed.startsWith(entry))
            return entry;
    }
    return QString();
}

} // namespace quel::core
