#include "exports/ui/pop_menu.h"

#include "core/feedback.h"
#include "exports/chart_image.h"
#include "exports/export_path.h"
#include "exports/grid_export.h"
#include "grid/grid_model.h"
#include "widgets/dialogs.h"
#include "widgets/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace quel::exports {

PopMenu::PopMenu(core::Feedback& feedback, QWidget* parent)
    : QWidget(parent)
    , m_feedback(feedback)
{
    setObjectName(QStringLiteral("PopMenu"));
    setWindowTitle(QStringLiteral("弹出菜单"));
    hide();

    m_gridMenu = new QMenu(QStringLiteral("导出表格"), this);
    m_gridMenu->setObjectName(QStringLiteral("M_OutputMSF"));
    QAction* grid = m_gridMenu->addAction(QStringLiteral("导出表格"));
    grid->setObjectName(QStringLiteral("mOutpuMSF"));
    connect(grid, &QAction::triggered, this, [this] { exportGrid(); });

    m_pictureMenu = new QMenu(QStringLiteral("导出图片"), this);
    m_pictureMenu->setObjectName(QStringLiteral("M_OutputPic"));
    QAction* picture = m_pictureMenu->addAction(QStringLiteral("导出图片"));
    picture->setObjectName(QStringLiteral("mOutputPic"));
    connect(picture, &QAction::triggered, this, [this] { exportPicture(); });
    QAction* png = m_pictureMenu->addAction(QStringLiteral("导出PNG图片"));
    png->setObjectName(QStringLiteral("mOutputPng"));
    connect(png, &QAction::triggered, this, [this] { exportPicture(ChartImageFormat::Png); });
    QAction* svg = m_pictureMenu->addAction(QStringLiteral("导出SVG图片"));
    svg->setObjectName(QStringLiteral("mOutputSvg"));
    connect(svg, &QAction::triggered, this, [this] { exportPicture(ChartImageFormat::Svg); });
}

PopMenu::~PopMenu() = default;

namespace {
const QString kFolderKey = QStringLiteral("exports/folder");
}

QString PopMenu::gridFilters()
{
    return QStringLiteral("CSV (逗号分隔)(*.csv);;MS Excel文件  (*.xlsx)");
}

QString PopMenu::exportFolder()
{
    const QString last = widgets::ProgramSettings()->value(kFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString PopMenu::askFileName(
    const QString& caption, const QString& filters, const QString& fallbackFilter)
{
    QString filter;
    const QString path
        = widgets::Dialogs::saveFileName(parentWidget(), caption, filters, exportFolder(), &filter);
    if (path.isEmpty())
        return path;
    return QFileInfo(WithFilterExtension(path, filter.isEmpty() ? fallbackFilter : filter))
        .absoluteFilePath();
}

void PopMenu::remember(const QString& path)
{
    widgets::ProgramSettings()->setValue(kFolderKey, QFileInfo(path).absolutePath());
    emit exported(path);
}

void PopMenu::popupGridMenu(grid::GridModel* grid, const QPoint& globalPos)
{
    m_grid = grid;
    m_gridMenu->popup(globalPos);
}

void PopMenu::popupPictureMenu(QWidget* chart, const QPoint& globalPos, ChartRenderer render)
{
    setPicture(chart, std::move(render));
    m_pictureMenu->popup(globalPos);
}

bool PopMenu::exportGrid()
{
    if (!m_grid || !gridHasData(*m_grid)) {
        m_feedback.message(QStringLiteral("表格中没有数据！"));
        return false;
    }
    const QString path = askFileName(QStringLiteral("导出表格"), gridFilters(),
        gridFilters().section(QStringLiteral(";;"), 0, 0));
    if (path.isEmpty())
        return false;
    if (QFile::exists(path)) {
        if (!m_feedback.ask(QStringLiteral("该文件已存在，是否覆盖？")))
            return false;
        // The new file replaces the old one only when complete; one that cannot be
        // written is reported before any work is done.
        if (!QFileInfo(path).isWritable()) {
            m_feedback.message(QStringLiteral("该文件无法覆盖，请确认该文件没被其他软件打开！"));
            return false;
        }
    }
    QString error;
    if (!WriteGridFile(*m_grid, path, kSheetName, m_feedback, &error)) {
        m_feedback.message(QStringLiteral("导出表格出错（%1）！").arg(error));
        return false;
    }
    remember(path);
    return true;
}

bool PopMenu::exportPicture()
{
    if (!m_picture)
        return false;
    // The menu is gone before the picture is taken; the picture is the chart area itself
    // with its frame, never what lies over it on the screen.
    m_pictureMenu->hide();
    QCoreApplication::processEvents();
    const QImage image = m_picture->grab().toImage();

    const QString filter = QStringLiteral("JPG格式(*.jpg)");
    QString path = askFileName(QStringLiteral("导出图片"), filter, filter);
    if (path.isEmpty())
        return false;
    path = JpegFileName(path);
    if (QFile::exists(path)
        && !m_feedback.ask(QStringLiteral("文件“%1”已存在，是否覆盖？").arg(path)))
        return false;
    if (!SaveJpeg(image, path, kJpegQuality)) {
        m_feedback.message(QStringLiteral("保存图片出错！"));
        return false;
    }
    remember(path);
    return true;
}

bool PopMenu::exportPicture(ChartImageFormat format)
{
    if (format == ChartImageFormat::Jpeg)
        return exportPicture();
    if (!m_picture)
        return false;
    const bool png = format == ChartImageFormat::Png;
    const QString filter
        = png ? QStringLiteral("PNG格式(*.png)") : QStringLiteral("SVG格式(*.svg)");
    QString path = askFileName(QStringLiteral("导出图片"), filter, filter);
    if (path.isEmpty())
        return false;
    if (ChartImageFormatOf(path) != format)
        path += png ? QStringLiteral(".png") : QStringLiteral(".svg");
    if (QFile::exists(path)
        && !m_feedback.ask(QStringLiteral("文件“%1”已存在，是否覆盖？").arg(path)))
        return false;
    // The chart drawn afresh at its shown size: twice as many pixels for PNG, shapes and
    // text for SVG. Without a way to draw it again, PNG takes the screen copy.
    const QSize size = m_picture->size();
    bool saved = false;
    if (png) {
        QImage image;
        if (m_render) {
            image = QImage(size * 2, QImage::Format_RGB32);
            image.setDevicePixelRatio(2);
            QPainter painter(&image);
            m_render(painter, size);
        } else {
            image = m_picture->grab().toImage();
        }
        saved = SavePng(image, path);
    } else {
        const ChartRenderer render = m_render ? m_render : [this](QPainter& p, const QSize&) {
            p.drawPixmap(0, 0, m_picture->grab());
        };
        saved = SaveSvg(render, size, path, QString());
    }
    if (!saved) {
        m_feedback.message(QStringLiteral("保存图片出错！"));
        return false;
    }
    remember(path);
    return true;
}

} // namespace quel::exports
