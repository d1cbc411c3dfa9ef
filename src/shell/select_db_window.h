#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;

namespace quel::shell {

// "请选择数据库名称": the catalogue's names in a list to choose from (no typing), confirm
// and cancel. Shown modeless; callers wait with WaitWhileWindowOpen(caption()) and read
// the chosen name from the text they passed in (empty when cancelled or closed).
class SelectDbWindow : public QWidget
{
    Q_OBJECT

public:
    SelectDbWindow(const QStringList& names, QString& selectedName, QWidget* parent = nullptr);
    static QString caption();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void confirm();
    void cancel();

    QComboBox* m_names;
    QString& m_selected;
    bool m_answered = false;
};

} // namespace quel::shell
