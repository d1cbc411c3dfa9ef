#include "views/ui/list_views.h"

#include "core/feedback.h"
#include "grid/grid_ops.h"
#include "grid/ui/grid_view.h"
#include "store/db_operate.h"
#include "views/grid_fill.h"
#include "views/lists.h"
#include "views/ui/filter_combos.h"
#include "views/ui/product_chooser.h"
#include "web/market.h"
#include "widgets/desktop_open.h"

#include <QComboBox>
#include <QLineEdit>

namespace quel::views {

namespace {

bool isProductList(int list)
{
    return list == 0 || list == 1;
}

bool isChosenList(int list)
{
    return list == 2 || list == 3;
}

ListKind kindOf(int list)
{
    switch (list) {
    case 0:
        return ListKind::Products;
    case 1:
        return ListKind::ProductDetails;
    case 2:
        return ListKind::Sales;
    default:
        return ListKind::Customers;
    }
}

// Keeps a window disabled while a deletion runs, whatever way the deletion ends.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget* window)
        : m_window(window)
    {
        if (m_window)
            m_window->setEnabled(false);
    }
    ~DisabledWhile()
    {
        if (m_window)
            m_window->setEnabled(true);
    }
    DisabledWhile(const DisabledWhile&) = delete;
    DisabledWhile& operator=(const DisabledWhile&) = delete;

private:
    QPointer<QWidget> m_window;
};

} // namespace

ListViews::ListViews(store::DB_Operate& db, QWidget* gridParent)
    : QObject(gridParent)
    , m_db(db)
{
    for (int list = 0; list < kLists; ++list) {
        auto* grid = new grid::GridView(gridParent);
        grid->setObjectName(QStringLiteral("MSF_%1").arg(list));
        grid->setFeedback(&db.feedback());
        layOutList(*grid->grid(), kindOf(list));
        m_grids[list] = grid;
        connect(grid, &grid::GridView::exportRequested, this, &ListViews::exportRequested);
        connect(grid, &grid::GridView::gridDoubleClicked, this,
            [this, list] { onDoubleClicked(list); });
    }
}

ListViews::~ListViews() = default;

grid::GridView* ListViews::grid(int list) const
{
    return list >= 0 && list < kLists ? m_grids[list] : nullptr;
}

void ListViews::attachFilter(int list, QComboBox* column, QComboBox* op, QComboBox* value)
{
    if (!isProductList(list))
        return;
    m_filters[list] = { column, op, value };
    for (QComboBox* combo : { column, op, value })
        lockComboTyping(combo);
    if (op) {
        op->clear();
        op->addItems({ QStringLiteral("＝"), QStringLiteral("≠") });
        op->setCurrentIndex(-1);
        op->setEditText(QStringLiteral("="));
    }
    if (value)
        value->setEditText(QString());
    if (column) {
        connect(column, &QComboBox::activated, this, [this, list] { onColumnChosen(list); });
        fillColumnCombo(list, false);
    }
}

void ListViews::attachProductBox(int list, QLineEdit* box)
{
    if (isChosenList(list))
        m_boxes[list - 2] = box;
}

void ListViews::fill(int list)
{
    grid::GridView* view = grid(list);
    if (!view)
        return;
    grid::GridModel& model = *view->grid();
    long found = 0;
    if (isProductList(list)) {
        const Filter& filter = m_filters[list];
        const FilterTexts texts { filter.column ? filter.column->currentText() : QString(),
            filter.op ? filter.op->currentText() : QString(),
            filter.value ? filter.value->currentText() : QString() };
        found = showProductList(model, kindOf(list), m_db, texts, true, view->textMeasure());
    } else {
        const QString ids = productBoxTag(m_boxes[list - 2]);
        found = list == 2 ? showSalesList(model, m_db, ids, view->textMeasure())
                          : showCustomerList(model, m_db, ids, view->textMeasure());
    }
    emit hintChanged(recordCountLine(model.dataRowCount(), found));
}

void ListViews::fillColumnCombo(int list, bool keepText)
{
    if (isProductList(list))
        views::fillColumnCombo(*m_grids[list]->grid(), m_filters[list].column, keepText);
}

void ListViews::clearGrids()
{
    for (grid::GridView* view : m_grids)
        view->grid()->setRows(view->grid()->fixedRows());
}

bool ListViews::deleteSelected(int list)
{
    if (!isProductList(list))
        return false;
    grid::GridView* view = m_grids[list];
    DisabledWhile disabled(view->window());
    return deleteSelectedProducts(*view->grid(), m_db);
}

bool ListViews::pickAndShow(int list)
{
    if (!isChosenList(list))
        return false;
    QLineEdit* box = m_boxes[list - 2];
    if (!box || !pickProducts(box, m_db, m_grids[list]->window()))
        return false;
    fill(list);
    return true;
}

void ListViews::onColumnChosen(int list)
{
    const Filter& filter = m_filters[list];
    if (!filter.column || !filter.value)
        return;
    const int col = grid::leadingColumnNumber(filter.column->currentText());
    QString field = m_grids[list]->grid()->fieldName(col);
    if (const QString computed = computedFieldSql(field); !computed.isEmpty())
        field = computed;
    filter.value->clear();
    filter.value->addItems(m_db.DistinctValuesForCombo(QStringLiteral("产品表"), field));
    filter.value->setCurrentIndex(-1);
    filter.value->setEditText(QString());
}

void ListViews::onDoubleClicked(int list)
{
    const grid::GridModel& model = *m_grids[list]->grid();
    if (!model.hasDataRows() || list == 2)
        return;
    const int row = model.currentRow();
    if (isProductList(list))
        widgets::OpenInDefaultBrowser(web::ItemPageUrl(model.text(row, 0)));
    else
        widgets::OpenInDefaultBrowser(web::BuyerPageUrl(model.text(row, 1)));
}

} // namespace quel::views
