// Stands in for quelfetch in the pool tests. The job field says what to do:
//   write:TEXT   write TEXT to the result file (via .TMP and rename) and exit
//   empty        write an empty result file
//   die          exit without a file (as a worker whose page did not load)
//   full         exit 5 without a file (as a worker whose result the disk refused)
//   dir          make a folder where the result file belongs (a file nobody can read)
//   hang         never finish (noting its pid in ./pids/ when that folder exists)
//   late:MS:TEXT wait MS milliseconds, then write TEXT
//   item:N       a product result with N sales records (buyers bN-1 .. bN-N)
//   rate         write "QUELFETCH_RATE|QUELFETCH_RATE_FILE" as it got them, creating the
//                slot file as a real worker does
//   ...user_id=C a buyer profile for code C; no file when C starts with "die", and for ever
//                when it starts with "hang"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QThread>

static void writeResult(const QString& path, const QByteArray& bytes)
{
    QFile f(path + ".TMP");
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    f.write(bytes);
    f.close();
    QFile::remove(path);
    QFile::rename(path + ".TMP", path);
}

static int hang()
{
    // Leaves its process id where a test can check that it was ended.
    if (QDir(QStringLiteral("pids")).exists())
        QFile(QStringLiteral("pids/") + QString::number(QCoreApplication::applicationPid()))
            .open(QIODevice::WriteOnly);
    QThread::sleep(600);
    return 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QStringList fields = args.join(' ').trimmed().split(QStringLiteral("‖"));
    if (fields.size() < 2)
        return 2;
    const QString job = fields[0];
    const QString out = fields[1];
    if (job.startsWith("write:")) {
        writeResult(out, job.mid(6).replace("\\n", "\r\n").toUtf8());
    } else if (job.startsWith("item:")) {
        const int n = job.mid(5).toInt();
        const QString s = QStringLiteral("〗★〖");
        QStringList lines { QStringList { "5", "9", "2", "全新", "100", "7", "19.9" }.join(s) };
        for (int i = 1; i <= n; ++i)
            lines << QStringList { "19.9", "1",
                QStringLiteral("2026-11-%1 10:00:00").arg(i, 2, 10, QLatin1Char('0')),
                QStringLiteral("b%1-%2").arg(n).arg(i), QStringLiteral("买家%1").arg(i) }
                         .join(s);
        writeResult(out, lines.join("\r\n").toUtf8());
    } else if (job.contains("user_id=")) {
        const QString code = job.mid(job.indexOf("user_id=") + 8);
        if (code.startsWith("die"))
            return 3;
        if (code.startsWith("hang"))
            return hang();
        writeResult(out,
            QStringList { "名" + code, "3", "5", "浙江", "杭州", "2008年3月5日", "2026-12-1" }
                .join(QStringLiteral("〗★〖"))
                .toUtf8());
    } else if (job == "rate") {
        const QString slotFile = qEnvironmentVariable("QUELFETCH_RATE_FILE");
        if (!slotFile.isEmpty())
            QFile(slotFile).open(QIODevice::WriteOnly);
        writeResult(out, (qEnvironmentVariable("QUELFETCH_RATE") + '|' + slotFile).toUtf8());
    } else if (job == "die") {
        return 3;
    } else if (job == "full") {
        return 5;
    } else if (job == "dir") {
        QDir().mkpath(out);
    } else if (job == "empty") {
        writeResult(out, QByteArray());
    } else if (job == "hang") {
        return hang();
    } else if (job.startsWith("late:")) {
        const QStringList parts = job.split(':');
        QThread::msleep(parts.value(1).toULong());
        writeResult(out, parts.mid(2).join(':').toUtf8());
    }
    return 0;
}
