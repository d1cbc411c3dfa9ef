#include "shell/command_line.h"

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
    return QStringLiteral("用法：quelmar [--data 目录] [--market 地址] [--batch 命令 参数...]");
}

} // namespace quel::shell
