#include "shell/select_db_window.h"

#include "core/text_cut.h"
#include "widgets/window_helpers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quel::shell {

QString SelectDbWindow::caption()
{
    return QStringLiteral("请选择数据库名称");
}

SelectDbWindow::SelectDbWindow(const QStringList& names, QString& selectedName, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_selected(selectedName)
{
    setObjectName(QStringLiteral("SelectDB"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    m_selected.clear();

    m_names = new QComboBox(this);
    m_names->setObjectName(QStringLiteral("CB"));
    m_names->setEditable(false);
    m_names->addItems(names);
    m_names->setCurrentIndex(names.isEmpty() ? -1 : 0);

    auto makeButton = [this](int index, QStyle::StandardPixmap icon, const QString& tip) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("Com_%1").arg(index));
        button->setIcon(QApplication::style()->standardIcon(icon));
        button->setIconSize(QSize(24, 24));
        button->setToolTip(tip);
        return button;
    };
    QToolButton* ok = makeButton(0, QStyle::SP_DialogOkButton, QStringLiteral("确定"));
    QToolButton* cancelButton
        = makeButton(1, QStyle::SP_DialogCancelButton, QStringLiteral("取消"));
    connect(ok, &QToolButton::clicked, this, &SelectDbWindow::confirm);
    connect(cancelButton, &QToolButton::clicked, this, &SelectDbWindow::cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("数据库名称："), this));
    layout->addWidget(m_names);
    layout->addLayout(buttons);
    resize(320, 120);
    widgets::CenterWindow(this);
}

void SelectDbWindow::confirm()
{
    m_selected = core::TrimBlanks(m_names->currentText());
    m_answered = true;
    close();
}

void SelectDbWindow::cancel()
{
    m_selected.clear();
    m_answered = true;
    close();
}

void SelectDbWindow::closeEvent(QCloseEvent* event)
{
    // The close box counts as cancel.
    if (!m_answered)
        m_selected.clear();
    event->accept();
}

} // namespace quel::shell
