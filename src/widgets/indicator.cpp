#include "widgets/indicator.h"

#include "widgets/window_helpers.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace quel::widgets {

namespace {
const QString kCaption = QStringLiteral("Dovrel进度指示器");
}

// The bar box: a pure blue rectangle from the left edge.
class IndicatorBar : public QWidget
{
public:
    explicit IndicatorBar(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("Pic"));
        setFixedHeight(18);
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, Qt::white);
        setPalette(p);
    }

    void reset(double fraction)
    {
        m_fraction = std::max(0.0, fraction);
        update();
    }
    void widen(double fraction)
    {
        m_fraction = std::max(m_fraction, fraction);
        update();
    }
    double fraction() const { return m_fraction; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 255));
        const double width = std::min(m_fraction, 1.0) * this->width();
        painter.drawRect(QRectF(0, 0, width, height()));
        painter.setPen(Qt::gray);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    double m_fraction = 0;
};

IndicatorWindow::IndicatorWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Indicator"));
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::NonModal);

    m_title = new QLabel(QStringLiteral("进度条指示器"), this);
    m_title->setObjectName(QStringLiteral("LBL"));
    m_bar = new IndicatorBar(this);
    m_percent = new QLabel(QStringLiteral("0%"), this);
    m_percent->setObjectName(QStringLiteral("Percent"));
    m_percent->setAlignment(Qt::AlignCenter);
    m_time = new QLabel(this);
    m_time->setObjectName(QStringLiteral("L2"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("L1"));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* times = new QHBoxLayout;
    times->addWidget(m_time, 1);
    times->addWidget(m_count);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_bar);
    layout->addWidget(m_percent);
    layout->addLayout(times);
    setFixedSize(360, 130);
}

void IndicatorWindow::setTitle(const QString& title)
{
    m_title->setText(title);
}

void IndicatorWindow::apply(const IndicatorUpdate& update)
{
    m_percent->setText(update.percent);
    if (update.title)
        m_title->setText(*update.title);
    if (update.time)
        m_time->setText(*update.time);
    if (update.count)
        m_count->setText(*update.count);
}

void IndicatorWindow::clearTimes()
{
    m_time->clear();
    m_count->clear();
}

void IndicatorWindow::setPercent(const QString& text)
{
    m_percent->setText(text);
}

void IndicatorWindow::resetBar(double fraction)
{
    m_bar->reset(fraction);
}

void IndicatorWindow::drawBar(double fraction)
{
    m_bar->widen(fraction);
}

Indicator::Indicator(Clock clock)
    : m_clock(std::move(clock))
{ }

Indicator::~Indicator()
{
    // The program's indicator outlives the application object; widgets must not be
    // deleted after it is gone.
    if (QCoreApplication::instance())
        delete m_window.data();
}

QDateTime Indicator::now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void Indicator::start(const QString& title, long total, long position)
{
    m_state.start(title, total, position, now());
    if (!m_window) {
        m_window = new IndicatorWindow;
        CenterWindow(m_window);
    }
    m_window->setTitle(title);
    // A restart in the same window must not show the previous operation's figures.
    m_window->setPercent(PercentText(m_state.position(), m_state.total()));
    m_window->clearTimes();
    m_window->resetBar(m_state.barFraction());
    m_window->show();
    m_window->raise();
    QCoreApplication::processEvents();
}

void Indicator::step(long n, const QString& mode)
{
    const IndicatorUpdate update = m_state.step(n, mode, now());
    if (m_window) {
        m_window->apply(update);
        m_window->drawBar(m_state.barFraction());
    }
    QCoreApplication::processEvents();
}

void Indicator::close()
{
    if (m_window)
        m_window->close();
    QCoreApplication::processEvents();
}

bool Indicator::isOpen() const
{
    return m_window && m_window->isVisible();
}

Indicator& Indicator::program()
{
    static Indicator indicator;
    return indicator;
}

void IndicatorStart(const QString& title, long total, long position)
{
    Indicator::program().start(title, total, position);
}

void IndicatorStep(long n, const QString& mode)
{
    Indicator::program().step(n, mode);
}

void IndicatorClose()
{
    Indicator::program().close();
}

bool IsIndicatorOpen()
{
    return Indicator::program().isOpen();
}

} // namespace quel::widgets
