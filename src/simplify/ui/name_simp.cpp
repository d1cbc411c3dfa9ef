#include "simplify/ui/name_simp.h"

#include "core/feedback.h"
#include "grid/grid_model.h"
#include "grid/grid_ops.h"
#include "simplify/rule_store.h"
#include "simplify/ui/simp_input.h"
#include "store/db_operate.h"
#include "widgets/window_helpers.h"
#include "widgets/window_placement.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quel::simplify {

namespace {

constexpr int kIdColumn = 0;
constexpr int kSerialColumn = 1;
constexpr int kMatchColumn = 2;
constexpr int kShortColumn = 3;

} // namespace

QString NameSimp::noteText()
{
    return QStringLiteral(
               "注：此功能将产品名称里包称“匹配词”的产品名称将整个名称被替换“简化后名称”。")
        + QStringLiteral(
            "例，匹配词为“诺基亚 5200”，简化后名称为“诺基亚5200手机”则表示把含有“诺基亚”")
        + QStringLiteral("和“5200”的产品名称简称为“诺基亚5200手机”。");
}

NameSimp::NameSimp(store::DB_Operate& db, const QString& table, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_db(db)
    , m_table(table)
    , m_grid(new grid::GridModel(this))
    , m_view(new QTableView(this))
    , m_note(new QLabel(this))
{
    setObjectName(QStringLiteral("NameSimp"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    m_view->setObjectName(QStringLiteral("MSF"));
    m_view->setModel(m_grid);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->horizontalHeader()->setStretchLastSection(true);
    // The view's selection is the grid's cursor: current row and the other end of the range.
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            if (current.isValid())
                m_grid->setCurrentCell(current.row() + m_grid->fixedRows(), current.column());
        });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_view->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        int low = rows.first().row();
        int high = low;
        for (const QModelIndex& index : rows) {
            low = std::min(low, index.row());
            high = std::max(high, index.row());
        }
        const int current = m_grid->currentRow() - m_grid->fixedRows();
        const int other = current == low ? high : low;
        m_grid->setSelectionEnd(other + m_grid->fixedRows(), m_grid->currentCol());
    });

    m_note->setObjectName(QStringLiteral("LBL"));
    m_note->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addButton(3, QStringLiteral("添加"), QStringLiteral("添加一条替换记录")));
    buttons->addWidget(addButton(0, QStringLiteral("修改"), QStringLiteral("修改选中的替换记录")));
    buttons->addWidget(addButton(4, QStringLiteral("删除"), QStringLiteral("删除选中的替换记录")));
    QPushButton* spare = addButton(1, QString(), QString());
    spare->hide();
    buttons->addStretch();
    buttons->addWidget(
        addButton(2, QStringLiteral("关闭"), QStringLiteral("关闭并重新简化产品名称")));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_note);
    layout->addLayout(buttons);

    m_rulesChanged = false;
    ShowReplacementRules();
    // Centred at first, then where the user left it, always inside the work area.
    widgets::KeepWindowPlacement(this, objectName(), QSize(640, 420));
}

// The input dialog is a child window and goes with the editor.
NameSimp::~NameSimp() = default;

QPushButton* NameSimp::addButton(int index, const QString& text, const QString& tip)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("Com_") + QString::number(index));
    button->setToolTip(tip);
    connect(button, &QPushButton::clicked, this, [this, index] {
        switch (index) {
        case 0:
            changeRule();
            break;
        case 2:
            closeAndRederive();
            break;
        case 3:
            addRule();
            break;
        case 4:
            deleteRules();
            break;
        default:
            break;
        }
    });
    return button;
}

void NameSimp::ShowReplacementRules()
{
    grid::setGridColumns(*m_grid,
        { QStringLiteral("ID"), QString(), QStringLiteral("Con"), QStringLiteral("Sim") },
        { QStringLiteral("ID"), grid::kSerialTitle, QStringLiteral("匹配词"),
            QStringLiteral("简化后名称") });
    m_grid->setTag(kReplacementTable);
    if (m_table == kReplacementTable || m_table == kSimplificationTable) {
        db::Connection conn;
        db::Recordset rs;
        if (m_db.OpenRecordset(conn, rs,
                QStringLiteral("SELECT * FROM ") + m_table + QStringLiteral(" ORDER BY ID"))) {
            grid::GridModel::BulkUpdate bulk(*m_grid);
            int serial = 0;
            for (; !rs.eof(); rs.moveNext()) {
                m_grid->appendRow({ rs.field(QStringLiteral("ID")).toString(),
                    QString::number(++serial), rs.field(QStringLiteral("Con")).toString(),
                    rs.field(QStringLiteral("Sim")).toString() });
            }
        }
        m_db.CloseRecordset(conn, rs);
    }
    m_view->setColumnHidden(kIdColumn, true);
    m_view->setColumnWidth(kSerialColumn, 48);
    m_view->setColumnWidth(kMatchColumn, 240);
    m_note->setText(noteText());
}

void NameSimp::openInput(std::optional<qint64> id, const QString& match, const QString& shortText)
{
    if (m_input)
        m_input->close();
    m_input = new SimpInput(m_db, m_table, id, match, shortText, this);
    connect(m_input, &SimpInput::ruleSaved, this, [this] { m_rulesChanged = true; });
    connect(m_input, &SimpInput::closed, this, [this] {
        if (m_table == kReplacementTable)
            ShowReplacementRules();
    });
    m_input->show();
}

void NameSimp::changeRule()
{
    const int row = m_grid->currentRow();
    if (row < m_grid->fixedRows() || row >= m_grid->rows())
        return;
    bool ok = false;
    const qint64 id = m_grid->text(row, kIdColumn).toLongLong(&ok);
    if (!ok)
        return;
    openInput(id, m_grid->text(row, kMatchColumn), m_grid->text(row, kShortColumn));
}

void NameSimp::addRule()
{
    openInput(std::nullopt, QString(), QString());
}

void NameSimp::closeAndRederive()
{
    hide();
    if (m_rulesChanged)
        RederiveAllShortNames(m_db);
    close();
}

void NameSimp::deleteRules()
{
    int first = m_grid->currentRow();
    int last = m_grid->selectionRow();
    grid::orderPair(first, last);
    // Heading rows are never deleted.
    first = std::max(first, m_grid->fixedRows());
    last = std::min(last, m_grid->rows() - 1);
    if (first > last)
        return;
    QList<qint64> ids;
    for (int row = first; row <= last; ++row) {
        bool ok = false;
        const qint64 id = m_grid->text(row, kIdColumn).toLongLong(&ok);
        if (ok)
            ids.append(id);
    }
    if (!DeleteNameRules(m_db, m_table, ids, m_grid->text(first, kSerialColumn),
            m_grid->text(last, kSerialColumn)))
        return;
    grid::deleteGridRows(*m_grid, first, last, false, m_db.feedback());
    m_rulesChanged = true;
}

} // namespace quel::simplify
