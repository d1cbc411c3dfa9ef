// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/window_placement.h"

#include "widgets/settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace quel::widgets {

namespace {

QString settingsKey(const QString& key)
{
    return QStringLiteral("windows/") + key;
}

QScreen* screenOf(const QRect& frame)
{
    if (QScreen* screen = QGuiApplication::screenAt(frame.center()))
        return screen;
    return QGuiApplication::primaryScreen();
}

// The client geometry that gives the fitted frame, never below the minimum size.
QRect clientFor(const QWidget* window, const QRect& frame, const QMargins& margins)
{
    QRect client = frame.marginsRemoved(margins);
    client.setSize(client.size().expandedTo(window->minimumSize()));
    return client;
}

// Watches one window: fits it again once its real frame is known, saves it on close.
class PlacementKeeper : public QObject
{
public:
    PlacementKeeper(QWidget* window, const QString& key, const QRect& target)
        : QObject(window)
        , m_window(window)
        , m_key(key)
        , m_target(target)
        , m_placedSize(window->size())
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show) {
            // The window manager adds its frame after the window is mapped; fit once it has,
            // and once more a little later for slow window managers.
            QTimer::singleShot(0, this, [this] { refit(); });
            QTimer::singleShot(300, this, [this] {
                refit();
                // From now on the window is where the user puts it.
                m_target = QRect();
            });
            m_shown = true;
        } else if (event->type() == QEvent::Close || event->type() == QEvent::Hide) {
            // A window closed or hidden keeps where it was for next time (a minimised one
            // keeps the place it had before).
            if (m_shown && !m_window->isMinimized())
                save();
        }
        return false;
    }

private:
    void refit()
    {
        if (!m_window || !m_window->isVisible() || m_window->isMaximized()
            || m_window->isFullScreen())
            return;
        // Until the first fits are done, the frame aimed at: it was placed with an estimate
        // of the frame, which the real one now replaces. A size given since then wins.
        if (m_window->size() != m_placedSize)
            m_target = QRect();
        const QRect frame = m_target.isValid() ? m_target : m_window->frameGeometry();
        QScreen* screen = m_window->screen() ? m_window->screen() : screenOf(frame);
        if (!screen)
            return;
        const QRect fitted = FitFrameIntoArea(frame, screen->availableGeometry());
        if (fitted == m_window->frameGeometry())
            return;
        const QRect client = clientFor(m_window, fitted, WindowFrameMargins(m_window));
        m_window->resize(client.size());
        m_window->move(fitted.topLeft());
        m_placedSize = m_window->size();
    }
    void save()
    {
        if (m_window->isMaximized() || m_window->isFullScreen())
            SaveWindowFrame(m_key, m_window->normalGeometry() + WindowFrameMargins(m_window));
        else
            SaveWindowFrame(m_key, m_window->frameGeometry());
    }

    QPointer<QWidget> m_window;
    QString m_key;
    QRect m_target;
    QSize m_placedSize;
    bool m_shown = false;
};

} // namespace

QRect FitFrameIntoArea(QRect frame, const QRect& area)
{
    if (!area.isValid())
        return frame;
    frame.setSize(frame.size().boundedTo(area.size()));
    if (frame.right() > area.right())
        frame.moveRight(area.right());
    if (frame.bottom() > area.bottom())
        frame.moveBottom(area.bottom());
    if (frame.left() < area.left())
        frame.moveLeft(area.left());
    if (frame.top() < area.top())
        frame.moveTop(area.top());
    return frame;
}

QMargins WindowFrameMargins(const QWidget* window)
{
    if (window && window->isVisible() && window->windowHandle()) {
        const QMargins margins = window->windowHandle()->frameMargins();
        if (!margins.isNull())
            return margins;
    }
    if (QGuiApplication::platformName() == QLatin1String("offscreen")
        || QGuiApplication::platformName() == QLatin1String("minimal"))
        return {};
    // A usual title bar and border until the window manager tells the real one.
    return QMargins(4, 30, 4, 4);
}

QRect PlacedFrame(const std::optional<QRect>& saved, const QSize& defaultSize)
{
    if (saved && saved->isValid()) {
        QScreen* screen = screenOf(*saved);
        return screen ? FitFrameIntoArea(*saved, screen->availableGeometry()) : *saved;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(QPoint(0, 0), defaultSize);
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), defaultSize.boundedTo(area.size()));
    frame.moveCenter(area.center());
    return FitFrameIntoArea(frame, area);
}

void KeepWindowPlacement(QWidget* window, const QString& key, const QSize& defaultSize)
{
    if (!window)
        return;
    const QMargins margins = WindowFrameMargins(window);
    // The default size is the client's; the frame comes around it.
    const QSize defaultFrame = defaultSize.grownBy(margins);
    const QRect frame = PlacedFrame(SavedWindowFrame(key), defaultFrame);
    const QRect client = clientFor(window, frame, margins);
    window->resize(client.size());
    window->move(frame.topLeft());
    new PlacementKeeper(window, key, frame);
}

std::optional<QRect> SavedWindowFrame(const QString& key)
{
    const QVariant value = ProgramSettings()->value(settingsKey(key));
    if (!value.isValid())
        return std::nullopt;
    const QRect frame = value.toRect();
    if (!frame.isValid())
        return std::nullopt;
    return frame;
}

void SaveWindowFrame(const QString& key, const QRect& frame)
{
    ProgramSettings()->setValue(settingsKey(key), frame);
}

} // namespace quel::widgets
