#include "views/ui/filter_combos.h"

#include "grid/grid_model.h"
#include "grid/grid_ops.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace quel::views {

namespace {

// Swallows keys (but Tab) and opens the list on a click into the read-only text.
class ComboLock : public QObject
{
public:
    explicit ComboLock(QComboBox* combo)
        : QObject(combo)
        , m_combo(combo)
    { }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
                return false;
            event->accept();
            return true;
        }
        case QEvent::MouseButtonPress:
            if (watched != m_combo) {
                m_combo->showPopup();
                return true;
            }
            return false;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    QComboBox* m_combo;
};

} // namespace

void lockComboTyping(QComboBox* combo)
{
    static const char kLocked[] = "quelTypingLocked";
    if (!combo || combo->property(kLocked).toBool())
        return;
    combo->setProperty(kLocked, true);
    // Editable so that the program can show a text that is not an entry (the operator's
    // initial "="), read-only so that the user cannot.
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    auto* lock = new ComboLock(combo);
    combo->installEventFilter(lock);
    if (QLineEdit* edit = combo->lineEdit()) {
        edit->setReadOnly(true);
        edit->installEventFilter(lock);
    }
}

void fillColumnCombo(const grid::GridModel& grid, QComboBox* combo, bool keepText)
{
    if (!combo)
        return;
    const QString remembered = combo->currentText();
    combo->clear();
    combo->addItems(grid::columnComboEntries(grid));
    combo->setCurrentIndex(-1);
    if (combo->isEditable())
        combo->setEditText(keepText ? remembered : QString());
    else if (keepText)
        combo->setCurrentIndex(combo->findText(remembered));
}

} // namespace quel::views
