#include "shell/command_line.h"

#include "db_pg/server_address.h"

namespace quel::shell {

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--batch")) {
            line.batch = true;
            line.batchArguments = arguments.mid(i + 1);
            break;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
            continue;
        }
        if (argument == QLatin1String("--db") || argument.startsWith(QLatin1String("--db="))) {
            if (argument == QLatin1String("--db")) {
                if (i + 1 < arguments.size()
                    && !arguments.at(i + 1).startsWith(QLatin1String("--")))
                    line.database = arguments.at(++i);
            } else {
                line.database = argument.mid(5);
            }
            if (line.database.isEmpty()) {
                line.error = QStringLiteral("参数 --db 缺少取值。");
                return line;
            }
            // The address shows in the process list and in messages: its password would too.
            if (db_pg::IsServerAddress(line.database)
                && db_pg::ServerAddressHoldsPassword(line.database)) {
                line.error = db_pg::serverPasswordRefusedMessage();
                return line;
            }
            continue;
        }
        if (argument.startsWith(QLatin1String("--data="))
            || argument.startsWith(QLatin1String("--market="))) {
            line.options << argument;
            continue;
        }
        if (argument == QLatin1String("--data") || argument == QLatin1String("--market")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--"))) {
                line.error = QStringLiteral("参数 %1 缺少取值。").arg(argument);
                return line;
            }
            line.options << argument << arguments.at(i + 1);
            ++i;
            continue;
        }
        line.error = QStringLiteral("未知的参数：%1").arg(argument);
        return line;
    }
    return line;
}

QString commandLineUsage()
{
    return QStringLiteral(
        "用法：quelmar [--data 目录] [--market 地址] [--db 数据库] [--batch 命令 参数...]\n"
        "  --db 数据库  本次运行使用的数据库：数据库文件（相对于当前目录）或服务器地址 "
        "postgresql://用户@主机:端口/数据库名（密码放在 ~/.pgpass 或 PGPASSWORD 中），"
        "不改变数据库列表 DB.txt");
}

} // namespace quel::shell
