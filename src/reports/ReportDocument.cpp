#include "reports/ReportDocument.h"

#include "localisation/Strings.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QGlyphRun>
#include <QHash>
#include <QPen>
#include <QRawFont>
#include <algorithm>
#include <optional>

namespace nbx::reports {

namespace {

// The glyphs of the texts drawn in one font, each text looked up once: drawing a text as a glyph
// run skips the shaping that drawing it as a string runs every time, most of a long PDF's cost.
class GlyphRuns {
public:
    GlyphRuns(const QFont& font, double dpi) : font_(QRawFont::fromFont(font))
    {
        font_.setPixelSize(qRound(font.pointSizeF() * dpi / 72));
    }

    // Null when the font lacks a character: such a text is drawn as a string, so that the
    // painter takes the character from another font. A `width` above 0 is the one measured at
    // layout: the glyphs are spread to it, so that the text ends where the layout placed it.
    const QGlyphRun* run(const QString& text, double width)
    {
        auto it = runs_.find(text);
        if (it == runs_.end()) {
            QGlyphRun run;
            const QList<quint32> glyphs = font_.glyphIndexesForString(text);
            if (font_.isValid() && !glyphs.contains(0u)) {
                const QList<QPointF> advances = font_.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances);
                double total = 0;
                for (const QPointF& advance : advances)
                    total += advance.x();
                const double stretch = width > 0 && total > 0 ? width / total : 1;
                QList<QPointF> positions;
                positions.reserve(advances.size());
                double x = 0;
                for (const QPointF& advance : advances) {
                    positions.push_back(QPointF(x, 0));
                    x += advance.x() * stretch;
                }
                run.setRawFont(font_);
                run.setGlyphIndexes(glyphs);
                run.setPositions(positions);
            }
            it = runs_.insert(text, run);
        }
        return it->isEmpty() ? nullptr : &*it;
    }

private:
    QRawFont font_;
    QHash<QString, QGlyphRun> runs_;
};

} // namespace

QSizeF ReportDocument::pageSizeMm() const
{
    return pageLayout.fullRect(QPageLayout::Millimeter).size();
}

std::vector<DrawItem> ReportDocument::pageItems(int page) const
{
    if (page < 0 || page >= pageCount() || !source_)
        return {};
    return source_->items(page);
}

void ReportDocument::release() const
{
    if (source_)
        source_->release();
}

void ReportDocument::paint(QPainter& painter, int page, const QRectF& target) const
{
    if (page < 0 || page >= pageCount())
        return;
    paintItems(painter, pageItems(page), target);
}

void ReportDocument::paintItems(QPainter& painter, const std::vector<DrawItem>& items, const QRectF& target) const
{
    const QSizeF size = pageSizeMm();
    const double sx = target.width() / size.width();
    const double sy = target.height() / size.height();
    const double s = std::min(sx, sy);
    auto map = [&](const QRectF& r) {
        return QRectF(target.left() + r.left() * s, target.top() + r.top() * s, r.width() * s, r.height() * s);
    };
    // Fonts sized for this device: a point size that gives the height in millimetres at scale s.
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    std::vector<QFont> fontsHere;
    for (const FontSpec& f : fonts) {
        QFont font(f.family);
        font.setPointSizeF(f.pointSize * 25.4 * s / dpi);
        font.setBold(f.bold);
        font.setHintingPreference(QFont::PreferNoHinting);
        fontsHere.push_back(font);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen pen(Qt::black);
    pen.setWidthF(std::max(0.25 * s, 0.5));
    painter.setPen(pen);
    // Lines, boxes and pictures first, then the texts font by font: a change of font is costly
    // on every device (a picture and a PDF record each one).
    std::optional<GlyphRuns> runs;
    for (int pass = -1; pass < int(fonts.size()); ++pass) {
    if (pass >= 0) {
        painter.setFont(fontsHere[size_t(pass)]);
        runs.emplace(fontsHere[size_t(pass)], dpi);
    }
    for (const DrawItem& d : items) {
        if ((d.type == DrawItem::Text) != (pass >= 0) || (pass >= 0 && d.font != pass))
            continue;
        const QRectF r = map(d.rect);
        switch (d.type) {
        case DrawItem::Text: {
            // Placed from the widths measured at layout: drawing at a point skips the text
            // layout a rectangle would run for every item.
            double width = d.textWidth * s;
            if (width <= 0 && (d.align & (Qt::AlignRight | Qt::AlignHCenter)))
                width = painter.fontMetrics().horizontalAdvance(d.text);
            double x = r.left();
            if (d.align & Qt::AlignRight)
                x = r.right() - width;
            else if (d.align & Qt::AlignHCenter)
                x = r.left() + (r.width() - width) / 2;
            const QPointF baseline(x, r.top() + fonts[size_t(d.font)].ascentMm * s);
            if (d.clip) {
                // Only the sides: the glyphs keep their full height above and below the line.
                painter.save();
                painter.setClipRect(QRectF(r.left(), r.top() - r.height(), r.width(), 3 * r.height()),
                                    Qt::IntersectClip);
                // Only the characters that can show: positions far past the box would not fit
                // the painter's fixed-point coordinates.
                const QString shown = d.text.mid(d.visibleFrom, d.visibleLength);
                const QPointF at(r.left() + d.visibleX * s, baseline.y());
                if (const QGlyphRun* run = shown.isEmpty() ? nullptr : runs->run(shown, d.visibleWidth * s))
                    painter.drawGlyphRun(at, *run);
                else
                    painter.drawText(at, shown);
                painter.restore();
                break;
            }
            if (const QGlyphRun* run = d.text.isEmpty() ? nullptr : runs->run(d.text, d.textWidth * s))
                painter.drawGlyphRun(baseline, *run);
            else
                painter.drawText(baseline, d.text);
            break;
        }
        case DrawItem::Line:
            painter.drawLine(r.topLeft(), r.bottomRight());
            break;
        case DrawItem::Box:
            if (d.fill.isValid())
                painter.fillRect(r, d.fill);
            if (d.border) {
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(r);
            }
            break;
        case DrawItem::Picture:
            if (d.picture) {
                const QRectF b = d.picture->boundingRect();
                if (b.width() <= 0 || b.height() <= 0)
                    break;
                // A picture plays back scaled by the device's resolution over its own; undo that.
                const double dpiX = double(d.picture->logicalDpiX()) / painter.device()->logicalDpiX();
                const double dpiY = double(d.picture->logicalDpiY()) / painter.device()->logicalDpiY();
                painter.save();
                painter.translate(r.topLeft());
                painter.scale(r.width() / b.width() * dpiX, r.height() / b.height() * dpiY);
                painter.translate(-b.topLeft());
                painter.drawPicture(0, 0, *d.picture);
                painter.restore();
                painter.setPen(pen);
            }
            break;
        }
    }
    }
    painter.restore();
}

bool ReportDocument::print(QPagedPaintDevice& device, QString* error, const QPageRanges& ranges) const
{
    std::vector<int> chosen;
    for (int p = 0; p < pageCount(); ++p)
        if (ranges.isEmpty() || ranges.contains(p + 1))
            chosen.push_back(p);
    if (chosen.empty()) {
        if (error)
            *error = GetS(QStringLiteral("Ninguna página del informe está en el intervalo elegido (1-%s)."),
                          {QString::number(pageCount())});
        return false;
    }
    QPageLayout layout = pageLayout;
    layout.setMargins(QMarginsF(0, 0, 0, 0));
    layout.setMinimumMargins(QMarginsF(0, 0, 0, 0));
    device.setPageLayout(layout);
    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = GetS(QStringLiteral("No se ha podido empezar el documento."));
        return false;
    }
    for (int p : chosen) {
        if (p != chosen.front() && !device.newPage()) {
            if (error)
                *error = GetS(QStringLiteral("No se ha podido añadir una página al documento."));
            release();
            painter.end();
            return false;
        }
        const QRectF target(0, 0, device.width(), device.height());
        paint(painter, p, target);
    }
    release();
    if (painter.end())
        return true;
    if (error)
        *error = GetS(QStringLiteral("No se ha podido terminar el documento."));
    return false;
}

QStringList ReportDocument::pageTexts(int page) const
{
    QStringList out;
    if (page < 0 || page >= pageCount())
        return out;
    const std::vector<DrawItem> all = pageItems(page);
    release();
    std::vector<const DrawItem*> items;
    for (const DrawItem& d : all)
        if (d.type == DrawItem::Text)
            items.push_back(&d);
    std::stable_sort(items.begin(), items.end(), [](const DrawItem* a, const DrawItem* b) {
        if (qAbs(a->rect.top() - b->rect.top()) > 0.5)
            return a->rect.top() < b->rect.top();
        return a->rect.left() < b->rect.left();
    });
    for (const DrawItem* d : items)
        out << d->text;
    return out;
}

} // namespace nbx::reports
