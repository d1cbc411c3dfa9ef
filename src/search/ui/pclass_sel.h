#pragma once

#include <QWidget>
#include <optional>

class QComboBox;

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// The category window "产品类别选择": "全部" and every category of the products, or any
// text typed. Cancelling (or closing) hands back nothing.
class PClassSel : public QWidget
{
    Q_OBJECT

public:
    static QString caption() { return QStringLiteral("产品类别选择"); }

    PClassSel(store::DB_Operate& db, const QString& preselect, QWidget* parent = nullptr);

    QComboBox* combo() const { return m_combo; }
    std::optional<QString> result() const { return m_result; }
    // Com 1 confirms, any other index cancels; either closes the window.
    void buttonClicked(int index);

signals:
    void finished(const std::optional<QString>& result);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QComboBox* m_combo;
    std::optional<QString> m_result;
};

// Shows the window with a category preselected and waits until it is closed; returns the
// chosen text, or nothing when the user cancelled.
std::optional<QString> AskCategory(
    store::DB_Operate& db, const QString& preselect, QWidget* parent);

} // namespace quel::search
