#pragma once

#include <QWidget>

class QAbstractButton;
class QHBoxLayout;
class QLineEdit;
class QTabWidget;

namespace quel::shell {

// One page of the analysis tab strip: the chart GP_<i> on the left three quarters, the
// result grid MSF1_<i> on the right quarter, and a bar of controls below.
class AnalysisSubPage : public QWidget
{
    Q_OBJECT

public:
    AnalysisSubPage(int index, QWidget* parent);

    int index() const { return m_index; }
    QWidget* chart() const { return m_chart; }
    QWidget* grid() const { return m_grid; }
    QHBoxLayout* bar() const { return m_bar; }
    // Replace the placeholders; the new widgets take the names GP_<i> / MSF1_<i>.
    void setChart(QWidget* chart);
    void setGrid(QWidget* grid);

    QAbstractButton* addCommand(int index);
    QLineEdit* addProductBox(const QString& objectName);
    void addRangeBoxes();

signals:
    void command(int index);

private:
    void replace(QWidget*& slot, QWidget* widget, int stretch);

    int m_index;
    QHBoxLayout* m_split;
    QHBoxLayout* m_bar;
    QWidget* m_chart;
    QWidget* m_grid;
};

// Page 4 of the main tab strip: the analysis tab strip SST1 with its four pages.
class AnalysisPage : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisPage(QWidget* parent);

    QTabWidget* tabs() const { return m_tabs; }
    // The tab strip's stack shows only the selected page's container.
    AnalysisSubPage* subPage(int i) const;

signals:
    void command(int index);

private:
    QTabWidget* m_tabs;
    AnalysisSubPage* m_pages[4];
};

} // namespace quel::shell
