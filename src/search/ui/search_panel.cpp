#include "search/ui/search_panel.h"

#include "web/browser.h"
#include "web/dom.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quel::search {

QString PageTitle(const web::Browser& browser)
{
    const web::Node* root = browser.document()->documentElement();
    const web::Node* title = root ? root->firstDescendant(u"TITLE") : nullptr;
    return title ? title->textContent().simplified() : QString();
}

SearchPanel::SearchPanel(web::Browser& browser, QWidget* parent)
    : QFrame(parent)
    , m_browser(browser)
    , m_state(new QLabel(this))
    , m_address(new QLabel(this))
    , m_title(new QLabel(this))
{
    setObjectName(QStringLiteral("WB"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_address->setObjectName(QStringLiteral("WBAddress"));
    m_title->setObjectName(QStringLiteral("WBTitle"));
    m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_address->setWordWrap(true);
    m_title->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_state);
    layout->addWidget(m_address);
    layout->addWidget(m_title);
    layout->addStretch();
    connect(&m_browser, &web::Browser::stateChanged, this, &SearchPanel::refresh);
    QFrame::hide();
}

void SearchPanel::placeOver(QWidget* area)
{
    if (area && parentWidget()) {
        const QPoint topLeft = area->mapTo(parentWidget(), QPoint(0, 0));
        setGeometry(QRect(topLeft, area->size()));
    }
    refresh();
    raise();
    show();
}

void SearchPanel::hidePanel()
{
    hide();
}

QString SearchPanel::addressText() const
{
    return m_address->text();
}

QString SearchPanel::titleText() const
{
    return m_title->text();
}

void SearchPanel::refresh()
{
    m_state->setText(
        m_browser.busy() ? QStringLiteral("正在打开网页……") : QStringLiteral("网页已打开"));
    m_address->setText(QStringLiteral("地址：") + m_browser.locationUrl());
    m_title->setText(QStringLiteral("标题：") + PageTitle(m_browser));
}

} // namespace quel::search
