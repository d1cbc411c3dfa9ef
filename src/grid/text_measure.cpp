#include "grid/text_measure.h"

#include "grid/grid_model.h"

#include <QFontMetricsF>
#include <cmath>

namespace quel::grid {

FontTextMeasure::FontTextMeasure(const QFont& font, int extraPixels)
    : m_font(font)
    , m_extraPixels(extraPixels)
    , m_advance(0x10000, -1)
{ }

FontTextMeasure::~FontTextMeasure() = default;

int FontTextMeasure::widthTwips(QStringView text) const
{
    if (text.isEmpty())
        return 0;
    qreal pixels = 0;
    std::unique_ptr<QFontMetricsF> metrics;
    for (const QChar ch : text) {
        qreal& advance = m_advance[ch.unicode()];
        if (advance < 0) {
            if (!metrics)
                metrics = std::make_unique<QFontMetricsF>(m_font);
            advance
                = ch.isSurrogate() ? metrics->averageCharWidth() : metrics->horizontalAdvance(ch);
        }
        pixels += advance;
    }
    return (static_cast<int>(std::ceil(pixels)) + m_extraPixels) * kTwipsPerPixel;
}

} // namespace quel::grid
