#include "simplify/ui/simp_input.h"

#include "core/feedback.h"
#include "core/text_cut.h"
#include "simplify/rule_store.h"
#include "store/db_operate.h"
#include "widgets/window_helpers.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quel::simplify {

SimpInput::SimpInput(store::DB_Operate& db, const QString& table, std::optional<qint64> id,
    const QString& match, const QString& shortText, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_db(db)
    , m_table(table)
    , m_id(id)
    , m_match(new QLineEdit(match, this))
    , m_short(new QLineEdit(shortText, this))
    , m_idBox(new QLineEdit(id ? QString::number(*id) : QString(), this))
{
    setObjectName(QStringLiteral("SimpInput"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    m_match->setObjectName(QStringLiteral("Text1"));
    m_short->setObjectName(QStringLiteral("Text2"));
    m_idBox->setObjectName(QStringLiteral("ID"));
    m_idBox->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("被简化内容："), this), 0, 0);
    grid->addWidget(m_match, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("替换的内容："), this), 1, 0);
    grid->addWidget(m_short, 1, 1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("Com_0"));
    ok->setDefault(true);
    auto* no = new QPushButton(QStringLiteral("取消"), this);
    no->setObjectName(QStringLiteral("Com_1"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(no);
    grid->addLayout(buttons, 2, 0, 1, 2);
    setMinimumWidth(360);

    // The short name starts as the match text and may then be edited on its own.
    connect(m_match, &QLineEdit::textEdited, m_short, &QLineEdit::setText);
    connect(ok, &QPushButton::clicked, this, &SimpInput::confirm);
    connect(no, &QPushButton::clicked, this, &SimpInput::cancel);
    adjustSize();
    widgets::CenterWindow(this);
}

void SimpInput::confirm()
{
    const QString match = core::TrimBlanks(m_match->text());
    // Blanks only count as nothing typed: there is nothing to match, so nothing to save.
    if (match.isEmpty()) {
        close();
        return;
    }
    const SaveRuleResult result = SaveNameRule(m_db, m_table, match, m_short->text(), m_id);
    if (result == SaveRuleResult::Duplicate) {
        m_db.feedback().message(QStringLiteral("需要简化的内容已经存在，请不要重复输入！"));
        return;
    }
    if (result == SaveRuleResult::Failed) {
        // Closing would pass the rule off as stored; keep what was typed.
        m_db.feedback().message(QStringLiteral("保存简化记录失败！"));
        return;
    }
    if (result == SaveRuleResult::Saved)
        emit ruleSaved();
    close();
}

void SimpInput::cancel()
{
    close();
}

void SimpInput::closeEvent(QCloseEvent* event)
{
    emit closed();
    event->accept();
}

} // namespace quel::simplify
