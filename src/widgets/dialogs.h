#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace quel::widgets {

// Every message box, question, input box and file dialog of the program goes through here,
// so the captions are Chinese everywhere and tests can answer without a modal window.
//
// Test mode (setHeadless(true)): nothing is ever shown. Messages and questions are recorded
// (takeShownTexts); a question takes the next queued answer or No; an input box the next
// queued text or cancel; a file dialog the next queued file name or the empty text.
// Queued answers are also honoured outside test mode, which lets a test answer one dialog
// of an otherwise real run.
class Dialogs
{
public:
    enum class Answer
    {
        Yes,
        No,
        Cancel
    };

    // A message box with only 确定.
    static void message(QWidget* parent, const QString& text);
    // A question with 是 / 否; true for 是.
    static bool ask(QWidget* parent, const QString& text);
    // A question with 是 / 否 / 取消.
    static Answer askYesNoCancel(QWidget* parent, const QString& text);
    // An input box with 确定 / 取消; nullopt when cancelled.
    static std::optional<QString> inputText(
        QWidget* parent, const QString& prompt, const QString& initial = {});
    // File dialogs; the empty text when cancelled. The save dialog does not ask about an
    // existing file: its caller does.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& filter);
    // selectedFilter receives the filter the user chose (the first one when none was).
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
        const QString& suggested = {}, QString* selectedFilter = nullptr);

    // The caption of message and input boxes.
    static QString caption();

    // Batch runs have no one to click: nothing is shown and every text goes to stderr.
    static void setConsole(bool console);

    // --- test hooks ---
    static void setHeadless(bool headless);
    static bool isHeadless();
    static void setNextAnswer(Answer answer);
    // nullopt queues a cancelled input box.
    static void setNextText(std::optional<QString> text);
    // filter: the filter the user is taken to have chosen (empty: the first one).
    static void setNextFileName(const QString& fileName, const QString& filter = {});
    // Texts of messages and questions since the last call (recorded in test mode only).
    static QStringList takeShownTexts();
    // Called with the text of every message and question just before it is shown (also in
    // test mode), so a test can look at the screen as it was then; empty to stop.
    static void setShownObserver(std::function<void(const QString& text)> observer);
    // Drops every queued answer and recorded text.
    static void resetTestState();
};

} // namespace quel::widgets
