#pragma once

#include "views/action_icons.h"

#include <QHash>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QWidget;

namespace quel::shell {

class MainWindow;

// One command button of the main window: its index in the Com array, its page, its
// tooltip and the action whose picture it shows.
struct CommandEntry
{
    int index;
    int page; // tab page of SST
    int subPage; // tab page of SST1 on the analysis page, -1 elsewhere
    const char* tooltip;
    views::Action action;
};

const std::vector<CommandEntry>& commandEntries();
const CommandEntry* findCommandEntry(int index);

// A Com button: no caption, a picture and its tooltip; objectName "Com_<index>".
QAbstractButton* makeCommandButton(int index, QWidget* parent);

// The one dispatch of the Com buttons by index, and of the menu items that act on their
// own. Indices and names without an entry do nothing.
class CommandTable
{
public:
    using Action = std::function<void()>;

    void set(int index, Action action);
    void setMenuAction(const QString& itemName, Action action);
    // True when an action ran.
    bool run(int index) const;
    bool runMenuAction(const QString& itemName) const;
    bool has(int index) const { return m_byIndex.count(index) != 0; }

private:
    std::map<int, Action> m_byIndex;
    QHash<QString, Action> m_byName;
};

// Binds every Com index and feature menu item to the part of the program that does the work.
void installCommands(MainWindow& window, CommandTable& table);

} // namespace quel::shell
