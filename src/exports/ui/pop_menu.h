#pragma once

#include "exports/chart_image.h"
#include "grid/grid_model.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QMenu;

namespace quel::core {
class Feedback;
}

namespace quel::exports {

// The export menu window "弹出菜单" (never shown itself): it holds the grid or chart that
// was right-clicked last and pops up the menu "导出表格" (item mOutpuMSF) or "导出图片"
// (item mOutputPic) for it. The items ask for a file and write it; messages and progress
// go through the feedback, file names through the program's dialogs.
class PopMenu : public QWidget
{
    Q_OBJECT

public:
    PopMenu(core::Feedback& feedback, QWidget* parent);
    ~PopMenu() override;

    QMenu* gridMenu() const { return m_gridMenu; }
    QMenu* pictureMenu() const { return m_pictureMenu; }

    void setGrid(grid::GridModel* grid) { m_grid = grid; }
    // Draws the held chart again on any device at a logical size; for PNG and SVG.
    using ChartRenderer = std::function<void(QPainter&, const QSize&)>;
    void setPicture(QWidget* chart, ChartRenderer render = {})
    {
        m_picture = chart;
        m_render = std::move(render);
    }
    // Holds the grid or chart and pops its menu up at a screen position.
    void popupGridMenu(grid::GridModel* grid, const QPoint& globalPos);
    void popupPictureMenu(QWidget* chart, const QPoint& globalPos, ChartRenderer render = {});

    // The menu items. True when a file was written.
    bool exportGrid();
    bool exportPicture();
    // PNG at twice the shown size, SVG at the shown size; both drawn afresh.
    bool exportPicture(ChartImageFormat format);

    // The grid export's filters.
    static QString gridFilters();
    // The folder the save dialogs open in: the last export's, else the user's documents.
    static QString exportFolder();

signals:
    // A file was written, with its full path.
    void exported(const QString& path);

private:
    // Asks for the file: the dialog opens in the last export folder, and a name typed
    // without extension gets the chosen filter's.
    QString askFileName(
        const QString& caption, const QString& filters, const QString& fallbackFilter);
    void remember(const QString& path);

    core::Feedback& m_feedback;
    QMenu* m_gridMenu;
    QMenu* m_pictureMenu;
    QPointer<grid::GridModel> m_grid;
    QPointer<QWidget> m_picture;
    ChartRenderer m_render;
};

} // namespace quel::exports
