// Stands in for quelfetch in the pool tests. The job field says what to do:
//   write:TEXT   write TEXT to the result file (via .TMP and rename) and exit
//   empty        write an empty result file
//   die          exit without a file
//   hang         never finish (noting its pid in ./pids/ when that folder exists)
//   late:MS:TEXT wait MS milliseconds, then write TEXT
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
    } else if (job == "empty") {
        writeResult(out, QByteArray());
    } else if (job == "hang") {
        // Leaves its process id where a test can check that it was ended.
        if (QDir(QStringLiteral("pids")).exists())
            QFile(QStringLiteral("pids/") + QString::number(QCoreApplication::applicationPid()))
                .open(QIODevice::WriteOnly);
        QThread::sleep(600);
    } else if (job.startsWith("late:")) {
        const QStringList parts = job.split(':');
        QThread::msleep(parts.value(1).toULong());
        writeResult(out, parts.mid(2).join(':').toUtf8());
    }
    return 0;
}
