#include "search/ui/pclass_sel.h"

#include "search/category.h"
#include "store/db_operate.h"
#include "widgets/window_helpers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace quel::search {

PClassSel::PClassSel(store::DB_Operate& db, const QString& preselect, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_combo(new QComboBox(this))
{
    setObjectName(QStringLiteral("PClassSel"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    m_combo->setObjectName(QStringLiteral("CMB"));
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setMinimumWidth(240);
    m_combo->addItems(db.DistinctValuesForCombo(QStringLiteral("产品表"), QStringLiteral("KWord")));
    m_combo->setEditText(preselect);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("Com_1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("Com_0"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_combo);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { buttonClicked(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { buttonClicked(0); });

    adjustSize();
    widgets::CenterWindow(this);
    widgets::MakeTopmost(this);
}

void PClassSel::buttonClicked(int index)
{
    if (index == 1)
        m_result = m_combo->currentText();
    else
        m_result.reset();
    close();
}

void PClassSel::closeEvent(QCloseEvent* event)
{
    emit finished(m_result);
    event->accept();
}

std::optional<QString> AskCategory(store::DB_Operate& db, const QString& preselect, QWidget* parent)
{
    std::optional<QString> result;
    auto* window = new PClassSel(db, preselect, parent);
    QObject::connect(window, &PClassSel::finished, window,
        [&result](const std::optional<QString>& text) { result = text; });
    QPointer<PClassSel> guard(window);
    window->show();
    widgets::WaitWhileWindowOpen(PClassSel::caption());
    if (guard) {
        QObject::disconnect(guard, &PClassSel::finished, nullptr, nullptr);
        if (guard->isVisible())
            return std::nullopt;
    }
    return result;
}

} // namespace quel::search
