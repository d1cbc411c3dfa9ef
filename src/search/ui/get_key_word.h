#pragma once

#include "search/search_condition.h"

#include <QWidget>

class QComboBox;

namespace quel::store {
class DB_Operate;
}

namespace quel::search {

// The search-condition window "搜索条件设置": a keyword and a seller nickname, each offered
// from the remembered list, most recent first. Confirming remembers the condition.
class GetKeyWord : public QWidget
{
    Q_OBJECT

public:
    static QString caption() { return QStringLiteral("搜索条件设置"); }

    explicit GetKeyWord(store::DB_Operate& db, QWidget* parent = nullptr);

    QComboBox* keywordBox() const { return m_boxes[0]; }
    QComboBox* nickBox() const { return m_boxes[1]; }
    // keyword + "〗★〖" + nickname after a confirm; empty text otherwise.
    QString result() const { return m_result; }

    // Com 1 confirms, any other index cancels; either closes the window.
    void buttonClicked(int index);

signals:
    void finished(const QString& result);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    store::DB_Operate& m_db;
    KeywordLists m_lists;
    QComboBox* m_boxes[2];
    QString m_result;
};

// Shows the window and waits until it is closed, the rest of the program running on;
// returns its result (empty when cancelled).
QString AskSearchCondition(store::DB_Operate& db, QWidget* parent);

} // namespace quel::search
