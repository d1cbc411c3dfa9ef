#include "shell/list_pages.h"

#include "shell/command_table.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quel::shell {

QWidget* makeGridPlaceholder(const QString& objectName, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setObjectName(objectName);
    view->setMinimumSize(0, 0);
    view->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    return view;
}

ListPage::ListPage(int page, int list, QWidget* parent)
    : QWidget(parent)
    , m_list(list)
{
    setObjectName(QStringLiteral("Pic_%1").arg(page));
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(2, 2, 2, 2);
    m_layout->setSpacing(4);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Bar_%1").arg(page));
    m_bar = new QHBoxLayout(panel);
    m_bar->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(panel);
    m_grid = makeGridPlaceholder(QStringLiteral("MSF_%1").arg(list), this);
    m_layout->addWidget(m_grid, 1);
}

void ListPage::setGrid(QWidget* grid)
{
    if (!grid || grid == m_grid)
        return;
    grid->setObjectName(QStringLiteral("MSF_%1").arg(m_list));
    m_layout->replaceWidget(m_grid, grid);
    delete m_grid;
    m_grid = grid;
    m_layout->setStretchFactor(m_grid, 1);
}

QAbstractButton* ListPage::addCommand(int index)
{
    QAbstractButton* button = makeCommandButton(index, m_bar->parentWidget());
    m_bar->addWidget(button);
    connect(button, &QAbstractButton::clicked, this, [this, index] { emit command(index); });
    return button;
}

QComboBox* ListPage::addCombo(int index, const QString& tooltip)
{
    auto* combo = new QComboBox(m_bar->parentWidget());
    combo->setObjectName(QStringLiteral("Cmb_%1").arg(index));
    combo->setEditable(false);
    combo->setToolTip(tooltip);
    combo->setMinimumContentsLength(6);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_bar->addWidget(combo);
    return combo;
}

QLineEdit* ListPage::addProductBox(const QString& objectName, const QString& label)
{
    auto* caption = new QLabel(label, m_bar->parentWidget());
    auto* box = new QLineEdit(m_bar->parentWidget());
    box->setObjectName(objectName);
    box->setReadOnly(true);
    box->setMinimumWidth(80);
    m_bar->addWidget(caption);
    m_bar->addWidget(box, 1);
    return box;
}

ProductsPage::ProductsPage(QWidget* parent)
    : ListPage(0, 0, parent)
{
    for (int index : { 0, 1, 2, 3 })
        addCommand(index);
    bar()->addSpacing(12);
    bar()->addWidget(new QLabel(QStringLiteral("筛选："), this));
    addCombo(0, QStringLiteral("筛选的列"));
    addCombo(1, QStringLiteral("筛选方式"));
    addCombo(2, QStringLiteral("筛选的值"));
    bar()->addStretch(1);
}

DetailsPage::DetailsPage(QWidget* parent)
    : ListPage(1, 1, parent)
{
    for (int index : { 13, 10, 11, 12 })
        addCommand(index);
    bar()->addSpacing(12);
    bar()->addWidget(new QLabel(QStringLiteral("筛选："), this));
    addCombo(3, QStringLiteral("筛选的列"));
    addCombo(4, QStringLiteral("筛选方式"));
    addCombo(5, QStringLiteral("筛选的值"));
    bar()->addStretch(1);
}

TradesPage::TradesPage(QWidget* parent)
    : ListPage(2, 2, parent)
{
    m_product = addProductBox(QStringLiteral("tPName"), QStringLiteral("产品名称："));
    addCommand(21);
}

BuyersPage::BuyersPage(QWidget* parent)
    : ListPage(3, 3, parent)
{
    m_product = addProductBox(QStringLiteral("tPName1"), QStringLiteral("产品名称："));
    for (int index : { 30, 31, 32 })
        addCommand(index);
}

HelpPage::HelpPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Pic_5"));
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("HelpText"));
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    text->setHtml(QStringLiteral(
        "<h3>使用说明</h3>"
        "<ol>"
        "<li>在“产品列表”页按关键词搜索产品，软件保存搜索结果中的每个产品。</li>"
        "<li>在“产品详情”页下载未下载过详情的产品，软件同时保存其成交记录。</li>"
        "<li>在“买家资讯”页补充下载买家资讯。</li>"
        "<li>在“统计分析”页选择产品，进行产品统计、交易对比、买家统计和销售周期分析。</li>"
        "<li>在表格或图表上按右键，可导出表格或图片。</li>"
        "</ol>"
        "<p>“文件”菜单可新建、选择、删除、清空和压缩数据库；"
        "“设置”菜单可设置产品名称的替换规则。</p>"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(text);
}

} // namespace quel::shell
