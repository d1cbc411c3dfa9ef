#pragma once

#include <QFont>
#include <QString>
#include <memory>
#include <vector>

namespace quel::grid {

// How wide a cell text is drawn, in twips. Column fitting measures every cell once, so
// measurements must be cheap and consistent rather than typographically exact.
class TextMeasure
{
public:
    virtual ~TextMeasure() = default;
    virtual int widthTwips(QStringView text) const = 0;
};

// Measures with a font: the advance of each UTF-16 unit is looked up once and cached, so
// tens of thousands of cells cost a table look-up per character. extraPixels is added to
// every non-empty text: what a view draws around a cell's text beyond the fitted padding.
class FontTextMeasure : public TextMeasure
{
public:
    explicit FontTextMeasure(const QFont& font, int extraPixels = 0);
    ~FontTextMeasure() override;
    int widthTwips(QStringView text) const override;

private:
    QFont m_font;
    int m_extraPixels;
    mutable std::vector<qreal> m_advance; // pixels per UTF-16 unit, -1 until measured
};

// A fixed width per character; for code without a screen and for tests.
class FixedTextMeasure : public TextMeasure
{
public:
    explicit FixedTextMeasure(int twipsPerChar = 120)
        : m_perChar(twipsPerChar)
    { }
    int widthTwips(QStringView text) const override
    {
        return static_cast<int>(text.size()) * m_perChar;
    }

private:
    int m_perChar;
};

} // namespace quel::grid
