#include "views/text_measure.h"

#include "views/grid_model.h"

#include <QFontMetrics>

namespace quel::views {

FontTextMeasure::FontTextMeasure(const QFont& font)
    : m_font(font)
    , m_advance(0x10000, -1)
{ }

FontTextMeasure::~FontTextMeasure() = default;

int FontTextMeasure::widthTwips(const QString& text) const
{
    int pixels = 0;
    const QFontMetrics* metrics = nullptr;
    std::unique_ptr<QFontMetrics> owned;
    for (const QChar ch : text) {
        int& advance = m_advance[ch.unicode()];
        if (advance < 0) {
            if (!metrics) {
                owned = std::make_unique<QFontMetrics>(m_font);
                metrics = owned.get();
            }
            advance
                = ch.isSurrogate() ? metrics->averageCharWidth() : metrics->horizontalAdvance(ch);
        }
        pixels += advance;
    }
    return pixels * kTwipsPerPixel;
}

} // namespace quel::views
