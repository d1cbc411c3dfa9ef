#include "views/product_chooser.h"

#include "core/feedback.h"
#include "grid/grid_view.h"
#include "store/db_operate.h"
#include "widgets/window_helpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
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
    resize(760, 520);

    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral("请在要选择的产品所在行打“√”"), this);
    hint->setObjectName(QStringLiteral("LBL"));
    layout->addWidget(hint);
    m_grid = new GridView(this);
    m_grid->setObjectName(QStringLiteral("MSF"));
    m_grid->setFeedback(&db.feedback());
    m_grid->setCheckMarks(GridView::CheckMarks::Multi);
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

    shell::CenterWindow(this);
    shell::MakeTopmost(this);
    fillProductChoice(*m_grid->grid(), db, m_grid->textMeasure());
    markChosenProducts(*m_grid->grid(), chosenIds);
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

bool pickProducts(QLineEdit* box, store::DB_Operate& db, QWidget* parent)
{
    // A second pick while one is waiting would nest the waits; bring the open one up.
    if (shell::IsWindowOpen(ProductChooser::caption())) {
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
    auto* chooser = new ProductChooser(db, productBoxTag(box), parent);
    // The connection ends with this call, even if the wait is cut short by quitting.
    QObject receiver;
    QObject::connect(chooser, &ProductChooser::decided, &receiver,
        [&result](std::optional<ChosenProducts> decided) { result = std::move(decided); });
    chooser->show();
    // The rest of the program keeps working while the chooser is up.
    shell::WaitWhileWindowOpen(ProductChooser::caption());
    if (!result)
        return false;
    if (target) {
        target->setText(result->names);
        setProductBoxTag(target, result->ids);
    }
    return true;
}

} // namespace quel::views
