// Writes the empty, encrypted database template at build time.
#include "store/schema.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: quel_mktemplate OUTPUT.mdb\n";
        return 2;
    }
    QString error;
    if (!quel::store::writeTemplate(args.at(1), &error)) {
        err << "quel_mktemplate: " << error << "\n";
        return 1;
    }
    return 0;
}
