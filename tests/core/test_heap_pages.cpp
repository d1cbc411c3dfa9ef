#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

struct ProbeRun
{
    qint64 startedPid = 0;
    QStringList lines; // process number, tunables, arguments
};

ProbeRun runProbe(const QString& tunables, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("GLIBC_TUNABLES"));
    if (!tunables.isNull())
        env.insert(QStringLiteral("GLIBC_TUNABLES"), tunables);
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(QUEL_HEAP_PAGES_PROBE), arguments);
    ProbeRun run;
    if (!probe.waitForStarted())
        return run;
    run.startedPid = probe.processId();
    probe.waitForFinished();
    run.lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split(u'\n');
    return run;
}

} // namespace

TEST(HeapPages, StartsAgainInPlaceWithTheSettingAndTheSameArguments)
{
    const QStringList arguments { QStringLiteral("--批量"), QStringLiteral("a b"), QString() };
    const ProbeRun run = runProbe(QString(), arguments);
    ASSERT_GE(run.lines.size(), 5);
    // The same process: whoever started the program still waits for the right one.
    EXPECT_EQ(run.lines[0].toLongLong(), run.startedPid);
    EXPECT_EQ(run.lines[1], QStringLiteral("glibc.malloc.hugetlb=1"));
    EXPECT_EQ(run.lines.mid(2, 3), arguments);
}

TEST(HeapPages, KeepsTheUsersTunablesAndTheirOwnChoice)
{
    const ProbeRun other = runProbe(QStringLiteral("glibc.malloc.tcache_count=7"), {});
    ASSERT_GE(other.lines.size(), 2);
    EXPECT_EQ(other.lines[1], QStringLiteral("glibc.malloc.tcache_count=7:glibc.malloc.hugetlb=1"));

    const ProbeRun off = runProbe(QStringLiteral("glibc.malloc.hugetlb=0"), {});
    ASSERT_GE(off.lines.size(), 2);
    EXPECT_EQ(off.lines[1], QStringLiteral("glibc.malloc.hugetlb=0"));
}
