#pragma once

#include <QWidget>
#include <optional>

class QLineEdit;

namespace quel::store {
class DB_Operate;
}

namespace quel::simplify {

// The input dialog "添加简化记录" for one rule: the match text and the short name, which
// follows the match text while it is typed. Saves on confirm and closes; a duplicate match
// text is refused with a message and the dialog stays open.
class SimpInput : public QWidget
{
    Q_OBJECT

public:
    static QString caption() { return QStringLiteral("添加简化记录"); }

    // A rule is changed when id is given, added otherwise.
    SimpInput(store::DB_Operate& db, const QString& table, std::optional<qint64> id,
        const QString& match, const QString& shortText, QWidget* parent = nullptr);

    QLineEdit* matchEdit() const { return m_match; }
    QLineEdit* shortEdit() const { return m_short; }

    // Com 0 and Com 1.
    void confirm();
    void cancel();

signals:
    // A rule was stored.
    void ruleSaved();
    // The dialog closed, however that happened.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    store::DB_Operate& m_db;
    QString m_table;
    std::optional<qint64> m_id;
    QLineEdit* m_match;
    QLineEdit* m_short;
    QLineEdit* m_idBox;
};

} // namespace quel::simplify
