#include "ui/ElidedText.h"

#include <QFontMetricsF>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>

namespace {
bool isLineBreakOrTab(QChar unit)
{
    return unit == u'\n' || unit == u'\r' || unit == u'\t' || unit == u'\v' || unit == u'\f' || unit == QChar(0x85)
        || unit == QChar::LineSeparator || unit == QChar::ParagraphSeparator;
}

// C0 controls, DEL and C1 controls: fonts draw them as boxes.
bool isControl(QChar unit) { return unit.unicode() < 0x20 || (unit.unicode() >= 0x7f && unit.unicode() <= 0x9f); }

// Catalogue texts are shown as one paragraph: a line break or tab in one is a space, and any other
// control character is left out.
QString flattened(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar unit : text) {
        if (isLineBreakOrTab(unit))
            shown.append(u' ');
        else if (!isControl(unit))
            shown.append(unit);
    }
    return shown;
}
} // namespace

QString ElidedText::bounded(const QString& text, int maxCharacters)
{
    // Cut before the pass over the characters, so a huge text costs what its bound costs.
    if (text.size() <= maxCharacters)
        return flattened(text);
    qsizetype end = std::max(0, maxCharacters - 1);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return flattened(text.left(end)) + QChar(0x2026);
}

QString ElidedText::toWidth(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    return metrics.elidedText(bounded(text), Qt::ElideRight, std::max<qreal>(0, width));
}

QString ElidedText::wrapped(const QString& text, const QFont& font, qreal width, int maxLines)
{
    const QString bounded = ElidedText::bounded(text);
    width = std::max<qreal>(1, width);
    QTextLayout layout(bounded, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid() && lines.size() < maxLines; line = layout.createLine()) {
        line.setLineWidth(width);
        const bool last = lines.size() == maxLines - 1;
        // The last line allowed takes the rest, cut to the box.
        const QString part = last ? bounded.mid(line.textStart()) : bounded.mid(line.textStart(), line.textLength());
        lines.append(last ? toWidth(part.trimmed(), QFontMetricsF(font), width) : part.trimmed());
    }
    layout.endLayout();
    return lines.join(u'\n');
}
