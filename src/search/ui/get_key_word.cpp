#include "search/ui/get_key_word.h"

#include "widgets/window_helpers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>

namespace quel::search {

GetKeyWord::GetKeyWord(store::DB_Operate& db, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_db(db)
{
    setObjectName(QStringLiteral("GetKeyWord"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    auto* grid = new QGridLayout(this);
    const QString labels[2] = { QStringLiteral("关 键 字："), QStringLiteral("所属会员：") };
    m_lists = LoadKeywordLists(m_db);
    const QStringList* lists[2] = { &m_lists.keywords, &m_lists.nicks };
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(labels[i], this);
        label->setObjectName(QStringLiteral("Label1_") + QString::number(i));
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("TT_") + QString::number(i));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(260);
        box->addItems(*lists[i]);
        box->setEditText(lists[i]->value(0));
        m_boxes[i] = box;
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
    }
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("Com_1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("Com_0"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(ok, &QPushButton::clicked, this, [this] { buttonClicked(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { buttonClicked(0); });
    // 确定 is the default button: Enter in either box confirms, Esc cancels, as in any dialog
    // (a plain window has no default button of its own).
    for (QComboBox* box : m_boxes)
        connect(box->lineEdit(), &QLineEdit::returnPressed, ok, &QPushButton::click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cancel, &QPushButton::click);

    adjustSize();
    widgets::CenterWindow(this);
    widgets::MakeTopmost(this);
}

void GetKeyWord::buttonClicked(int index)
{
    if (index == 1) {
        const QString keyword = m_boxes[0]->currentText();
        const QString nick = m_boxes[1]->currentText();
        m_result = ConditionResult(keyword, nick);
        SaveKeywordLists(m_db, m_lists, keyword, nick);
    }
    close();
}

void GetKeyWord::closeEvent(QCloseEvent* event)
{
    emit finished(m_result);
    event->accept();
}

QString AskSearchCondition(store::DB_Operate& db, QWidget* parent)
{
    QString result;
    auto* window = new GetKeyWord(db, parent);
    QObject::connect(
        window, &GetKeyWord::finished, window, [&result](const QString& text) { result = text; });
    QPointer<GetKeyWord> guard(window);
    window->show();
    widgets::WaitWhileWindowOpen(GetKeyWord::caption());
    if (guard) {
        // The wait ended without the window closing (the program is quitting): nothing was
        // confirmed, and a later close must not write to this finished call.
        QObject::disconnect(guard, &GetKeyWord::finished, nullptr, nullptr);
        if (guard->isVisible())
            return {};
    }
    return result;
}

} // namespace quel::search
