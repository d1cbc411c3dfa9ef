#include "page_fixtures.h"

#include "support/temp_dir.h"
#include "worker/item_walk.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quel::worker::test {

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

} // namespace

QString pagesDir()
{
    return quel::test::testDataDir() + QStringLiteral("/worker/pages");
}

QString expectedDir()
{
    return quel::test::testDataDir() + QStringLiteral("/worker/expected");
}

QString pageMarkup(const QString& name)
{
    QString text = QString::fromUtf8(readAll(pagesDir() + u'/' + name));
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

QByteArray expectedResult(const QString& name)
{
    return readAll(expectedDir() + u'/' + name);
}

QByteArray walkPages(const QStringList& pages)
{
    ItemWalk walk;
    for (const QString& page : pages) {
        switch (walk.step(pageMarkup(page), false)) {
        case ItemWalk::Action::WriteEmpty:
            return {};
        case ItemWalk::Action::Fail:
            return "FAIL " + walk.failure().toUtf8();
        case ItemWalk::Action::Finish:
            return walk.result().toUtf8();
        case ItemWalk::Action::OpenSalesRecord:
        case ItemWalk::Action::NextPage:
            break;
        }
    }
    ADD_FAILURE() << "the walk wanted more pages than " << pages.join(u',').toStdString();
    return {};
}

} // namespace quel::worker::test
