#include "views/ui/product_chooser.h"

#include "core/feedback.h"
#include "grid/ui/grid_view.h"
#include "store/db_operate.h"
#include "widgets/window_helpers.h"
#include "widgets/window_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quel::views {

namespace {

const char kTagProperty[] = "Tag";

QToolButton* makeButton(
    const QString& name, QStyle::StandardPixmap icon, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolTip(tip);
    return button;
}

} // namespace

QString productBoxTag(const QLineEdit* box)
{
    return box ? box->property(kTagProperty).toString() : QString();
}

void setProductBoxTag(QLineEdit* box, const QString& ids)
{
    if (box)
        box->setProperty(kTagProperty, ids);
}

QString ProductChooser::caption()
{
    return QStringLiteral("选择产品名称");
}

ProductChooser::ProductChooser(store::DB_Operate& db, const QString& chosenIds, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("ProductSel"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* hint = new QLabel(QStringLiteral("请在要选择的产品所在行打“√”"), this);
    hint->setObjectName(QStringLiteral("LBL"));
    top->addWidget(hint);
    top->addStretch(1);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("tFind"));
    m_find->setPlaceholderText(QStringLiteral("查找：产品名称、简称、店铺或编号"));
    m_find->setClearButtonEnabled(true);
    m_find->setMinimumWidth(220);
    top->addWidget(new QLabel(QStringLiteral("查找："), this));
    top->addWidget(m_find);
    auto* all = new QPushButton(QStringLiteral("全选"), this);
    all->setObjectName(QStringLiteral("Com_2"));
    all->setToolTip(QStringLiteral("选中列表中显示的所有产品。"));
    auto* none = new QPushButton(QStringLiteral("全不选"), this);
    none->setObjectName(QStringLiteral("Com_3"));
    none->setToolTip(QStringLiteral("取消所有选中的产品。"));
    top->addWidget(all);
    top->addWidget(none);
    layout->addLayout(top);
    m_grid = new grid::GridView(this);
    m_grid->setObjectName(QStringLiteral("MSF"));
    m_grid->setFeedback(&db.feedback());
    m_grid->setCheckMarks(grid::GridView::CheckMarks::Multi);
    layout->addWidget(m_grid, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = makeButton(
        QStringLiteral("Com_0"), QStyle::SP_DialogCancelButton, QStringLiteral("取消"), this);
    m_confirm = makeButton(
        QStringLiteral("Com_1"), QStyle::SP_DialogOkButton, QStringLiteral("确定"), this);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_confirm);
    layout->addLayout(buttons);

    connect(m_cancel, &QAbstractButton::clicked, this, &QWidget::close);
    connect(m_confirm, &QAbstractButton::clicked, this, &ProductChooser::confirm);
    connect(all, &QAbstractButton::clicked, this, [this] { markShownRows(true); });
    connect(none, &QAbstractButton::clicked, this, [this] {
        grid::GridModel& grid = *m_grid->grid();
        QList<int> rows;
        for (int r = grid.fixedRows(); r < grid.rows(); ++r)
            rows.append(r);
        setProductChoiceMarks(grid, rows, false);
    });
    connect(m_find, &QLineEdit::textChanged, this, &ProductChooser::applyFind);
    // A sort by a heading reorders the rows; the search keeps to the same products.
    connect(m_grid->grid(), &QAbstractItemModel::layoutChanged, this, &ProductChooser::applyFind);
    connect(m_grid->grid(), &QAbstractItemModel::modelReset, this, &ProductChooser::applyFind);

    widgets::KeepWindowPlacement(this, objectName(), QSize(900, 560));
    widgets::MakeTopmost(this);
    fillProductChoice(*m_grid->grid(), db, m_grid->textMeasure());
    markChosenProducts(*m_grid->grid(), chosenIds);
    m_find->setFocus();
}

void ProductChooser::applyFind()
{
    const grid::GridModel& grid = *m_grid->grid();
    const QString text = m_find->text();
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        const bool hidden = !productChoiceMatches(grid, r, text);
        m_grid->setRowHidden(r - grid.fixedRows(), hidden);
        m_grid->frozenView()->setRowHidden(r - grid.fixedRows(), hidden);
    }
}

QList<int> ProductChooser::shownRows() const
{
    const grid::GridModel& grid = *m_grid->grid();
    QList<int> rows;
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        if (!m_grid->isRowHidden(r - grid.fixedRows()))
            rows.append(r);
    }
    return rows;
}

void ProductChooser::markShownRows(bool ticked)
{
    setProductChoiceMarks(*m_grid->grid(), shownRows(), ticked);
}

ProductChooser::~ProductChooser() = default;

void ProductChooser::confirm()
{
    m_result = chosenProducts(*m_grid->grid());
    close();
}

void ProductChooser::closeEvent(QCloseEvent* event)
{
    if (!m_announced) {
        m_announced = true;
        emit decided(m_result);
    }
    event->accept();
}

bool pickProducts(QLineEdit* box, store::DB_Operate& db, QWidget* parent, const QString& offeredIds)
{
    // A second pick while one is waiting would nest the waits; bring the open one up.
    if (widgets::IsWindowOpen(ProductChooser::caption())) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == ProductChooser::caption()) {
                window->raise();
                window->activateWindow();
            }
        }
        return false;
    }
    std::optional<ChosenProducts> result;
    const QPointer<QLineEdit> target(box);
    const QString chosen = productBoxTag(box);
    auto* chooser = new ProductChooser(db, chosen.isEmpty() ? offeredIds : chosen, parent);
    // The connection ends with this call, even if the wait is cut short by quitting.
    QObject receiver;
    QObject::connect(chooser, &ProductChooser::decided, &receiver,
        [&result](std::optional<ChosenProducts> decided) { result = std::move(decided); });
    chooser->show();
    // The rest of the program keeps working while the chooser is up.
    widgets::WaitWhileWindowOpen(ProductChooser::caption());
    if (!result)
        return false;
    if (target) {
        target->setText(result->names);
        setProductBoxTag(target, result->ids);
    }
    return true;
}

} // namespace quel::views
