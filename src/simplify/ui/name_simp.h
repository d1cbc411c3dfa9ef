#pragma once

#include "simplify/ui/simp_input.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QTableView;

namespace quel::store {
class DB_Operate;
}
namespace quel::grid {
class GridModel;
} // namespace quel::grid

namespace quel::simplify {

// The rule editor "产品名称替换设置": lists the rules of one table, adds, changes and
// deletes them. Closing it with its close button re-derives every product's short name
// when a rule changed; closing it by other means leaves the products as they are.
class NameSimp : public QWidget
{
    Q_OBJECT

public:
    static QString caption() { return QStringLiteral("产品名称替换设置"); }
    static QString noteText();

    NameSimp(store::DB_Operate& db, const QString& table, QWidget* parent = nullptr);
    ~NameSimp() override;

    grid::GridModel& grid() const { return *m_grid; }
    bool rulesChanged() const { return m_rulesChanged; }
    // The input dialog while it is open.
    SimpInput* input() const { return m_input; }

    // The buttons Com 0 .. 4.
    void changeRule();
    void closeAndRederive();
    void addRule();
    void deleteRules();

    // Fills the grid with the table's rules in ID order.
    void ShowReplacementRules();

private:
    void openInput(std::optional<qint64> id, const QString& match, const QString& shortText);
    QPushButton* addButton(int index, const QString& text, const QString& tip);

    store::DB_Operate& m_db;
    QString m_table;
    grid::GridModel* m_grid;
    QTableView* m_view;
    QLabel* m_note;
    QPointer<SimpInput> m_input;
    bool m_rulesChanged = false;
};

} // namespace quel::simplify
