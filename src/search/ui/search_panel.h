#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;

namespace quel::web {
class Browser;
}

namespace quel::search {

// Shown over the main window while a search runs (the engine draws no page): which page
// is loading, its address and its title.
class SearchPanel : public QFrame
{
    Q_OBJECT

public:
    SearchPanel(web::Browser& browser, QWidget* parent);

    // PlaceBrowser: covers the area widget (a widget of the same window) and shows.
    void placeOver(QWidget* area);
    // HideBrowser.
    void hidePanel();

    QString addressText() const;
    QString titleText() const;

private:
    void refresh();

    web::Browser& m_browser;
    QLabel* m_state;
    QLabel* m_address;
    QLabel* m_title;
};

// The text of a page's TITLE element, empty without one.
QString PageTitle(const web::Browser& browser);

} // namespace quel::search
