#include "widgets/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <deque>

namespace quel::widgets {

namespace {

// How dialogs are answered: by the user, by queued test answers, or not at all (batch runs).
struct TestState
{
    bool headless = false;
    bool console = false;
    std::deque<Dialogs::Answer> answers;
    std::deque<std::optional<QString>> texts;
    struct FileAnswer
    {
        QString name;
        QString filter;
    };
    std::deque<FileAnswer> fileNames;
    QStringList shown;
    std::function<void(const QString&)> observer;
};

TestState& testState()
{
    static TestState state;
    return state;
}

void record(const QString& text)
{
    if (testState().observer)
        testState().observer(text);
    if (testState().console)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    else if (testState().headless)
        testState().shown << text;
}

template <typename T> std::optional<T> takeQueued(std::deque<T>& queue)
{
    if (queue.empty())
        return std::nullopt;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

} // namespace

QString Dialogs::caption()
{
    return QStringLiteral("quelmar");
}

void Dialogs::message(QWidget* parent, const QString& text)
{
    record(text);
    if (testState().headless)
        return;
    QMessageBox box(QMessageBox::Information, caption(), text, QMessageBox::NoButton, parent);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

bool Dialogs::ask(QWidget* parent, const QString& text)
{
    record(text);
    if (auto queued = takeQueued(testState().answers))
        return *queued == Answer::Yes;
    if (testState().headless)
        return false;
    QMessageBox box(QMessageBox::Question, caption(), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

Dialogs::Answer Dialogs::askYesNoCancel(QWidget* parent, const QString& text)
{
    record(text);
    if (auto queued = takeQueued(testState().answers))
        return *queued;
    if (testState().headless)
        return Answer::Cancel;
    QMessageBox box(QMessageBox::Question, caption(), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

std::optional<QString> Dialogs::inputText(
    QWidget* parent, const QString& prompt, const QString& initial)
{
    record(prompt);
    if (auto queued = takeQueued(testState().texts))
        return *queued;
    if (testState().headless)
        return std::nullopt;
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption());
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString Dialogs::openFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    if (auto queued = takeQueued(testState().fileNames))
        return queued->name;
    if (testState().headless)
        return {};
    return QFileDialog::getOpenFileName(parent, caption, {}, filter);
}

QString Dialogs::saveFileName(QWidget* parent, const QString& caption, const QString& filter,
    const QString& suggested, QString* selectedFilter)
{
    const QString firstFilter = filter.section(QStringLiteral(";;"), 0, 0);
    if (auto queued = takeQueued(testState().fileNames)) {
        if (selectedFilter)
            *selectedFilter = queued->filter.isEmpty() ? firstFilter : queued->filter;
        return queued->name;
    }
    if (testState().headless)
        return {};
    QString chosen = firstFilter;
    // The callers ask their own overwrite question, in their own words.
    const QString name = QFileDialog::getSaveFileName(
        parent, caption, suggested, filter, &chosen, QFileDialog::DontConfirmOverwrite);
    if (selectedFilter)
        *selectedFilter = chosen;
    return name;
}

void Dialogs::setConsole(bool console)
{
    testState().console = console;
    testState().headless = console;
}

void Dialogs::setHeadless(bool headless)
{
    testState().headless = headless;
}

bool Dialogs::isHeadless()
{
    return testState().headless;
}

void Dialogs::setNextAnswer(Answer answer)
{
    testState().answers.push_back(answer);
}

void Dialogs::setNextText(std::optional<QString> text)
{
    testState().texts.push_back(std::move(text));
}

void Dialogs::setNextFileName(const QString& fileName, const QString& filter)
{
    testState().fileNames.push_back({ fileName, filter });
}

QStringList Dialogs::takeShownTexts()
{
    QStringList texts;
    texts.swap(testState().shown);
    return texts;
}

void Dialogs::setShownObserver(std::function<void(const QString& text)> observer)
{
    testState().observer = std::move(observer);
}

void Dialogs::resetTestState()
{
    TestState& state = testState();
    state.observer = {};
    state.answers.clear();
    state.texts.clear();
    state.fileNames.clear();
    state.shown.clear();
}

} // namespace quel::widgets
