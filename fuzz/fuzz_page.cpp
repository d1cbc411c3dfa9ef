// A page as the marketplace might send it: bytes in, the document the parsers read out,
// serialised, its links resolved, and the worker's extraction run over it.

#include "web/document.h"
#include "web/nesting_scan.h"
#include "worker/buyer_profile.h"
#include "worker/item_page.h"
#include "worker/item_walk.h"

#include <QByteArray>
#include <QUrl>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte picks how the page is announced, the rest is the page.
    if (size == 0)
        return 0;
    static const char* const contentTypes[] = { "", "text/html; charset=utf-8",
        "text/html; charset=GBK", "text/html; charset=gb18030", "text/html; charset=big5" };
    const char* contentType = contentTypes[data[0] % std::size(contentTypes)];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    (void)quel::web::NestingWithin(bytes, 64);
    const auto doc = quel::web::Document::parseBytes(bytes,
        QUrl(QStringLiteral("http://127.0.0.1:8080/item.htm?id=1")),
        QString::fromLatin1(contentType));
    const QString body = doc->bodyHtml();
    int visited = 0;
    for (quel::web::Node* element : doc->all()) {
        if (++visited > 64)
            break;
        (void)element->outerHTML();
        (void)element->textContent();
        (void)element->href();
        (void)element->value();
    }
    for (quel::web::Node* form : doc->forms())
        (void)form->formElements();
    (void)doc->baseUrl();

    qint32 pagesDone = 0;
    (void)quel::worker::BuildPageResult(body, pagesDone);
    (void)quel::worker::ParseBuyerProfile(body);
    quel::worker::ItemWalk walk;
    (void)walk.step(body, true);
    return 0;
}
