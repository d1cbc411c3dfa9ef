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
        "<p>一般的顺序：搜索产品 → 下载产品详情（含成交记录）→ 下载买家资讯 → 统计分析 → "
        "导出。每次搜索和下载结束后，窗口底部的提示栏会写出结果。</p>"
        "<h4>产品列表</h4>"
        "<p>按关键词或会员名搜索产品（在条件窗口中按回车即开始），软件保存搜索结果中的每个产品；"
        "可按列筛选、修改产品类别、删除选中的产品。“调价”一列是最近两次观察之间的价格变化。</p>"
        "<h4>产品详情</h4>"
        "<p>“下载未下载过产品”只下载从未下载过详情的产品，“更新所有产品详情”重新下载全部产品；"
        "下载窗口可设置线程数和每秒请求上限。市场无法连接时不会开始下载。"
        "失败的产品保持原样，下次下载时重试。</p>"
        "<h4>交易记录 / 买家资讯</h4>"
        "<p>选择产品后显示其成交记录或买家；“下载新客户资讯”补充下载未下载过的买家，"
        "“更新客户资讯”重新下载所有买家。</p>"
        "<h4>统计分析</h4>"
        "<ul>"
        "<li><b>产品统计</b>：按统计内容和统计方式比较价格、邮费、折扣、销量、浏览数和收藏数。</li>"
        "<li><b>交易对比</b>：按销售金额或数量比较产品或店铺，或选择产品后按日、周、月对比。</li>"
        "<li><b>买家统计</b>：选择产品后按省份、地区、信用等级和登录情况统计买家。</li>"
        "<li><b>销售周期</b>：选择产品后看销售在每月各日、每周各天或每天各小时的分布。</li>"
        "<li><b>价格走势</b>：选择产品后看每天的价格、销量、浏览数或收藏数。</li>"
        "</ul>"
        "<p>选择产品窗口可全选、全不选、按列排序（点击列标题）和查找；上一页选过的产品会在下一页"
        "再次选中。图表下方的“从 / 至”框决定显示哪些行，在图表上可用方向键滚动和缩放。</p>"
        "<h4>导出</h4>"
        "<p>在表格上按右键导出为 CSV 或 Excel 文件，在图表上按右键导出为图片；"
        "文件名不写扩展名时按所选类型补上，导出后提示栏写出文件的完整路径。</p>"
        "<h4>数据库</h4>"
        "<p>“文件”菜单可新建、选择、删除、清空和压缩数据库。新建数据库时可选择放在 PostgreSQL "
        "服务器上（团队数据库），地址形如 postgresql://用户@主机:端口/数据库名，"
        "密码放在 ~/.pgpass 或 PGPASSWORD 中，软件不保存密码；多台电脑可同时向同一个团队数据库"
        "下载，互不重复。</p>"
        "<h4>设置与批量运行</h4>"
        "<p>“设置”菜单可设置产品名称的替换规则。不开窗口的批量命令（quelmar --batch ...，"
        "适合定时运行）见 quelmar --help。</p>"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(text);
}

} // namespace quel::shell
