#include "reports/Report.h"

#include "common/Database.h"
#include "localisation/DatabaseFailure.h"
#include "localisation/Strings.h"
#include "reports/ValueFormat.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace nbx::reports {

Report::Report() = default;
Report::~Report() = default;

Field* Report::field(const QString& name) const
{
    for (const auto& s : sections)
        for (const auto& f : s->fields)
            if (f->name == name)
                return f.get();
    return nullptr;
}

Section* Report::section(const QString& name) const
{
    for (const auto& s : sections)
        if (s->name == name)
            return s.get();
    return nullptr;
}

void Report::setRecordSource(const QString& sql, const QVariantList& binds)
{
    sql_ = sql;
    binds_ = binds;
}

void Report::setPicture(const QString& name, const QPicture& picture)
{
    Report* root = this;
    while (root->parent_)
        root = root->parent_;
    root->pictures_.insert(name, std::make_shared<const QPicture>(picture));
}

QStringList textLines(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.split(breaks);
}

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kMeasureDpi = 1200;
// Texts longer than this are measured by prefixes first (see Layouter::wider).
constexpr qsizetype kProbeLength = 256;

struct LayoutError {
    QString what;
};

// Something placed in the flow of the report body; moves to the next page as a whole.
struct FlowItem {
    double top = 0;     // millimetres from the start of the body
    double bottom = 0;
    double keepBottom = 0; // a heading: the bottom of the first row it must stay with
    int group = -1;     // the subreport instance whose heading repeats on a new page
    bool keepWithNext = false;
    std::vector<DrawItem> items; // rectangles relative to the body start
};

struct Group {
    double firstTop = 0;
    double lastBottom = 0;
    double headerHeight = 0;
    std::vector<DrawItem> header; // relative to the heading's top
};

} // namespace

class Layouter {
public:
    explicit Layouter(const Report& main) : main_(main)
    {
        measureDevice_ = QImage(8, 8, QImage::Format_ARGB32);
        const int dpm = int(kMeasureDpi / kMmPerInch * 1000.0);
        measureDevice_.setDotsPerMeterX(dpm);
        measureDevice_.setDotsPerMeterY(dpm);
        doc_ = std::make_shared<ReportDocument>();
        doc_->pageLayout = main.pageLayout;
        for (const Report* r = &main; r; r = r->parent_)
            pictures_ = r->pictures_;
    }

    std::shared_ptr<ReportDocument> run()
    {
        std::vector<QSqlRecord> rows = query(main_);
        if (main_.sql_.isEmpty())
            rows.emplace_back(); // a report without a source lays its Detail out once
        const QSqlRecord first = rows.empty() ? QSqlRecord() : rows.front();
        double y = 0;
        std::vector<FlowItem> flow;
        if (const Section* s = main_.section(QStringLiteral("ReportHeader")))
            y += layoutSection(main_, *s, first, {}, 0, y, flow, -1);
        if (const Section* s = main_.section(QStringLiteral("Detail")))
            for (const QSqlRecord& r : rows)
                y += layoutSection(main_, *s, r, results(*s, r), 0, y, flow, -1);
        if (const Section* s = main_.section(QStringLiteral("ReportFooter")))
            y += layoutSection(main_, *s, first, {}, 0, y, flow, -1);
        paginate(flow, first);
        return doc_;
    }

private:
    int fontIndex(const Report& r, const Field& f)
    {
        FontSpec wanted{r.fontFamily, f.fontSize > 0 ? f.fontSize : r.fontSize, f.bold};
        for (size_t i = 0; i < doc_->fonts.size(); ++i)
            if (doc_->fonts[i] == wanted)
                return int(i);
        doc_->fonts.push_back(wanted);
        QFont font(wanted.family);
        font.setPointSizeF(wanted.pointSize);
        font.setBold(wanted.bold);
        font.setHintingPreference(QFont::PreferNoHinting);
        metrics_.emplace_back(font, &measureDevice_);
        widths_.emplace_back();
        doc_->fonts.back().ascentMm = metrics_.back().ascent() * kMmPerInch / kMeasureDpi;
        return int(doc_->fonts.size() - 1);
    }

    // A fixed-size field whose text is too wide takes a smaller font (down to 60 %) rather than
    // running into its neighbour: translations differ in length.
    int fittingFont(const Report& r, const Field& f, int font, const QStringList& lines, double width)
    {
        double widest = 0;
        for (const QString& l : lines)
            widest = std::max(widest, cachedWidth(font, l));
        if (widest <= width || width <= 0)
            return font;
        const FontSpec base = doc_->fonts[size_t(font)];
        const double size = std::max(base.pointSize * 0.6, std::floor(base.pointSize * width / widest * 4) / 4);
        Field sized;
        sized.bold = f.bold;
        sized.fontSize = size;
        return fontIndex(r, sized);
    }

    double cachedWidth(int font, const QString& s)
    {
        QHash<QString, double>& cache = widths_[size_t(font)];
        auto it = cache.constFind(s);
        if (it != cache.constEnd())
            return *it;
        const double w = widthMm(font, s);
        cache.insert(s, w);
        return w;
    }

    double lineHeightMm(int font) const { return metrics_[font].lineSpacing() * kMmPerInch / kMeasureDpi; }
    double widthMm(int font, const QString& s) const
    {
        return metrics_[font].horizontalAdvance(s) * kMmPerInch / kMeasureDpi;
    }

    // Whether `s` is wider than `width`. A text's width grows with every character, so a long
    // text is judged by prefixes of growing length: one a few lines wide shows it is too wide,
    // and a pasted word of 100,000 characters is not measured whole on every pass.
    bool wider(int font, QStringView s, double width) const
    {
        for (qsizetype k = kProbeLength; k < s.size(); k *= 2)
            if (widthMm(font, s.left(k).toString()) > width)
                return true;
        return widthMm(font, s.toString()) > width;
    }

    // The number of leading characters of `s` that fit in `width`: at least one character (a
    // surrogate pair stays whole), so breaking always moves on. The search starts from `hint`
    // (the length of the previous piece of the same word) or else from prefixes of growing
    // length, so its cost follows the length of what fits, not of `s`.
    qsizetype fittingPrefix(int font, QStringView s, double width, qsizetype hint = 0) const
    {
        auto fits = [&](qsizetype k) { return widthMm(font, s.left(k).toString()) <= width; };
        qsizetype lo = 1, hi = s.size();
        if (hint > 1 && hint < hi) {
            if (fits(hint)) {
                lo = hint;
                for (qsizetype step = 1; lo + step <= hi; step *= 2) {
                    if (!fits(lo + step)) {
                        hi = lo + step - 1;
                        break;
                    }
                    lo += step;
                }
            } else {
                hi = hint - 1;
                for (qsizetype step = 1; hi > lo; step *= 2) {
                    const qsizetype k = std::max(lo + 1, hi - step + 1);
                    if (fits(k)) {
                        lo = k;
                        break;
                    }
                    hi = k - 1;
                }
            }
        } else {
            for (qsizetype k = kProbeLength; k < hi; k *= 2) {
                if (!fits(k)) {
                    hi = k - 1;
                    break;
                }
                lo = k;
            }
        }
        while (lo < hi) {
            const qsizetype mid = (lo + hi + 1) / 2;
            if (fits(mid))
                lo = mid;
            else
                hi = mid - 1;
        }
        if (lo < s.size() && s.at(lo - 1).isHighSurrogate())
            lo += lo > 1 ? -1 : 1;
        return lo;
    }

    // Splits a text at its line breaks and wraps each line at blanks to `width`; a word wider than
    // `width` (a web address, a row of "=") is broken inside it so that nothing runs past the field.
    QStringList wrap(int font, const QString& text, double width) const
    {
        QStringList out;
        for (const QString& para : textLines(text)) {
            if (!wider(font, para, width)) {
                out << para;
                continue;
            }
            QString line;
            for (const QString& word : para.split(QLatin1Char(' '))) {
                const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
                if (!line.isEmpty() && wider(font, candidate, width)) {
                    out << line;
                    line = word;
                } else {
                    line = candidate;
                }
                // Pieces are cut from the front without copying the rest; after the first, the
                // search for the next piece tells whether the rest still needs breaking.
                qsizetype start = 0, n = 0;
                while (line.size() - start > 1 && (n > 0 || wider(font, line, width))) {
                    n = fittingPrefix(font, QStringView(line).mid(start), width, n);
                    if (start + n >= line.size())
                        break;
                    out << line.mid(start, n);
                    start += n;
                }
                if (start > 0)
                    line.remove(0, start);
            }
            out << line;
        }
        return out;
    }

    std::vector<QSqlRecord> query(const Report& r)
    {
        std::vector<QSqlRecord> rows;
        if (r.sql_.isEmpty())
            return rows;
        QSqlQuery q(mainDb());
        q.setForwardOnly(true);
        if (!q.prepare(r.sql_))
            throw LayoutError{failureText(DatabaseTask::Read, sqlErrorText(q.lastError())) + QStringLiteral(" (%1)").arg(r.name)};
        for (const QVariant& b : r.binds_)
            q.addBindValue(b);
        if (!q.exec())
            throw LayoutError{failureText(DatabaseTask::Read, sqlErrorText(q.lastError())) + QStringLiteral(" (%1)").arg(r.name)};
        while (q.next())
            rows.push_back(q.record());
        return rows;
    }

    // The texts of the section's detail rules for a record; the columns are found once per section.
    QHash<QString, QString> results(const Section& s, const QSqlRecord& record)
    {
        QHash<QString, QString> out;
        if (s.detailRules().empty())
            return out;
        auto it = ruleColumns_.find(&s);
        if (it == ruleColumns_.end()) {
            std::vector<int> cols;
            for (const DetailRule& rule : s.detailRules())
                cols.push_back(int(record.indexOf(rule.column)));
            it = ruleColumns_.insert(&s, cols);
        }
        const DetailRules& rules = s.detailRules();
        for (size_t k = 0; k < rules.size(); ++k)
            if ((*it)[k] >= 0)
                out.insert(rules[k].resultField, applyDetailRule(rules[k], record.value((*it)[k])));
        return out;
    }

    QString boundText(const Report& r, const Field& f, const QSqlRecord& record)
    {
        if (record.isEmpty())
            return QString();
        // A field reads the records of one query only, so its column is looked up once.
        auto cached = columnOf_.constFind(&f);
        const int i = cached != columnOf_.constEnd() ? *cached : int(record.indexOf(f.source));
        if (cached == columnOf_.constEnd())
            columnOf_.insert(&f, i);
        if (i < 0) {
            if (record.isEmpty())
                return QString();
            throw LayoutError{QStringLiteral("%1: field %2 shows column %3, which its record source lacks")
                                  .arg(r.name, f.name, f.source)};
        }
        const QVariant v = record.value(i);
        if (v.isNull())
            return QString();
        const QString stored = defaultText(v, QLocale::c());
        for (const ValueMap& m : f.maps)
            if (m.value == stored || m.value == v.toString())
                return m.stringId ? GetS(m.stringId) : m.text;
        if (f.format.isEmpty())
            return defaultText(v);
        if (f.format.startsWith(QLatin1String("date:")))
            return formatStoredDate(v, f.format.mid(5));
        if (f.format.startsWith(QLatin1String("time:")))
            return v.toString().left(f.format.size() - 5);
        if (f.format == QLatin1String("vbnum:#.0"))
            return formatOneDecimal(v);
        if (f.format == QLatin1String("int"))
            return formatRounded(v);
        if (f.format.startsWith(QLatin1String("bool:"))) {
            const QStringList ids = f.format.mid(5).split(QLatin1Char('/'));
            if (ids.size() == 2)
                return GetS((v.toDouble() != 0 ? ids[0] : ids[1]).toLong());
        }
        return defaultText(v);
    }

    // Lays one section out at (x0, y0) of the body and returns its height after growth.
    double layoutSection(const Report& r, const Section& s, const QSqlRecord& record,
                         const QHash<QString, QString>& results, double x0, double y0,
                         std::vector<FlowItem>& flow, int group, bool atomic = false)
    {
        std::vector<const Field*>& fields = sorted_[&s];
        if (fields.empty()) {
            for (const auto& f : s.fields)
                fields.push_back(f.get());
            std::stable_sort(fields.begin(), fields.end(),
                             [](const Field* a, const Field* b) { return a->rect.top() < b->rect.top(); });
        }
        struct Grown {
            double origBottom;
            double endShift; // shift below it
        };
        std::vector<Grown> grown;
        double height = s.height;
        FlowItem band;
        band.group = group;
        bool keepNext = false;
        auto shiftFor = [&](double top) {
            double shift = 0;
            for (const Grown& g : grown)
                if (g.origBottom <= top + 0.01)
                    shift = std::max(shift, g.endShift);
            return shift;
        };
        auto put = [&](DrawItem item, double top, double bottom) {
            if (atomic) {
                band.items.push_back(std::move(item));
                return;
            }
            FlowItem fi;
            fi.top = top;
            fi.bottom = bottom;
            fi.group = group;
            fi.keepWithNext = keepNext;
            fi.items.push_back(std::move(item));
            flow.push_back(std::move(fi));
        };
        for (const Field* f : fields) {
            if (!f->isVisible())
                continue;
            keepNext = f->keepWithNext;
            const double shift = shiftFor(f->rect.top());
            const QRectF rect = f->rect.translated(x0, y0 + shift);
            double used = f->rect.height();
            switch (f->kind) {
            case FieldKind::Line: {
                DrawItem d;
                d.type = DrawItem::Line;
                d.rect = rect;
                put(d, rect.top(), rect.bottom());
                break;
            }
            case FieldKind::PageNumber: {
                DrawItem d;
                d.type = DrawItem::Text;
                d.rect = rect;
                d.text = f->text().isEmpty() ? QStringLiteral("%1 / %2") : f->text();
                d.font = fontIndex(r, *f);
                d.align = int(f->align) | Qt::AlignVCenter | 0x10000; // marked: page number
                put(d, rect.top(), rect.bottom());
                break;
            }
            case FieldKind::Picture: {
                DrawItem d;
                d.type = DrawItem::Picture;
                d.picture = pictures_.value(f->image);
                QRectF target = rect;
                if (d.picture && f->keepAspect) {
                    const QRectF b = d.picture->boundingRect();
                    if (b.width() > 0 && b.height() > 0) {
                        const double scale = std::min(rect.width() / b.width(), rect.height() / b.height());
                        const QSizeF sz(b.width() * scale, b.height() * scale);
                        target = QRectF(rect.left() + (rect.width() - sz.width()) / 2, rect.top(), sz.width(), sz.height());
                    }
                }
                d.rect = target;
                if (d.picture)
                    put(d, rect.top(), rect.bottom());
                if (f->border) {
                    DrawItem b;
                    b.type = DrawItem::Box;
                    b.border = true;
                    b.rect = rect;
                    put(b, rect.top(), rect.bottom());
                }
                break;
            }
            case FieldKind::Subreport: {
                used = std::max(used, layoutSubreport(*f->subreport(), record, rect.left(), rect.top(), flow));
                break;
            }
            default: {
                QString text;
                if (f->kind == FieldKind::Bound)
                    text = boundText(r, *f, record);
                else if (f->kind == FieldKind::Result)
                    text = results.value(f->name);
                else
                    text = f->text();
                int font = fontIndex(r, *f);
                if (f->fill.isValid() || f->border) {
                    DrawItem b;
                    b.type = DrawItem::Box;
                    b.fill = f->fill;
                    b.border = f->border;
                    b.rect = rect;
                    if (!f->canGrow)
                        put(b, rect.top(), rect.bottom());
                }
                if (text.isEmpty())
                    break;
                const double pad = f->border ? 0.8 : 0;
                const QStringList lines = f->canGrow ? wrap(font, text, rect.width() - 2 * pad) : textLines(text);
                if (!f->canGrow)
                    font = fittingFont(r, *f, font, lines, rect.width() - 2 * pad);
                const double lh = lineHeightMm(font);
                const double needed = lines.size() * lh;
                if (f->canGrow)
                    used = std::max(used, needed);
                double ly = rect.top();
                if (!f->canGrow && needed < rect.height())
                    ly += (rect.height() - needed) / 2; // single-size fields centre their text
                for (const QString& line : lines) {
                    DrawItem d;
                    d.type = DrawItem::Text;
                    d.rect = QRectF(rect.left() + pad, ly, rect.width() - 2 * pad, lh);
                    d.text = line;
                    d.font = font;
                    d.textWidth = cachedWidth(font, line);
                    // Even at its smallest size a fixed field's text may be too wide (a long name
                    // from an imported file): it is cut at the field's sides, never drawn past them.
                    d.clip = !f->canGrow && d.textWidth > d.rect.width() + 0.01;
                    d.align = int(f->align) | Qt::AlignVCenter;
                    put(d, ly, ly + lh);
                    ly += lh;
                }
                break;
            }
            }
            if (used > f->rect.height() + 0.01)
                grown.push_back({f->rect.bottom(), shift + used - f->rect.height()});
            height = std::max(height, f->rect.top() + shift + used);
        }
        height = std::max(height, s.height + shiftFor(s.height));
        if (atomic && !band.items.empty()) {
            band.top = y0;
            band.bottom = y0 + height;
            flow.push_back(std::move(band));
        }
        return height;
    }

    // Lays a subreport out at (x, y): its heading, then one band per record. Returns its height.
    double layoutSubreport(const Report& sub, const QSqlRecord& parentRecord, double x, double y,
                           std::vector<FlowItem>& flow)
    {
        Q_UNUSED(parentRecord);
        const std::vector<QSqlRecord> rows = query(sub);
        const int group = int(groups_.size());
        groups_.push_back(Group{});
        double h = 0;
        std::optional<size_t> headerIndex; // the heading band, kept with the first row
        if (const Section* s = sub.section(QStringLiteral("Header"))) {
            std::vector<FlowItem> header;
            const double hh = layoutSection(sub, *s, rows.empty() ? QSqlRecord() : rows.front(), {}, x, y,
                                            header, group, true);
            Group& g = groups_[group];
            g.headerHeight = hh;
            for (FlowItem& fi : header)
                for (DrawItem& d : fi.items) {
                    g.header.push_back(d);
                    g.header.back().rect.translate(0, -y);
                }
            for (FlowItem& fi : header) {
                headerIndex = flow.size();
                flow.push_back(std::move(fi));
            }
            h += hh;
        }
        if (const Section* s = sub.section(QStringLiteral("Detail"))) {
            for (const QSqlRecord& r : rows) {
                h += layoutSection(sub, *s, r, results(*s, r), x, y + h, flow, group, true);
                if (headerIndex) {
                    flow[*headerIndex].keepBottom = y + h;
                    headerIndex.reset();
                }
            }
        }
        if (const Section* s = sub.section(QStringLiteral("ReportFooter")))
            h += layoutSection(sub, *s, rows.empty() ? QSqlRecord() : rows.front(), {}, x, y + h, flow, -1, true);
        groups_[group].firstTop = y;
        groups_[group].lastBottom = y + h;
        return h;
    }

    void paginate(std::vector<FlowItem>& flow, const QSqlRecord& first)
    {
        const QSizeF page = doc_->pageSizeMm();
        const QMarginsF m = main_.pageLayout.margins(QPageLayout::Millimeter);
        const Section* header = main_.section(QStringLiteral("PageHeader"));
        const Section* footer = main_.section(QStringLiteral("PageFooter"));
        const double headerH = header ? header->height : 0;
        const double footerH = footer ? footer->height : 0;
        const double bodyTop = m.top() + headerH;
        const double bodyH = page.height() - m.top() - m.bottom() - headerH - footerH;

        std::stable_sort(flow.begin(), flow.end(), [](const FlowItem& a, const FlowItem& b) { return a.top < b.top; });
        for (size_t i = flow.size(); i-- > 1;)
            if (flow[i - 1].keepWithNext)
                flow[i - 1].keepBottom = std::max(flow[i].bottom, flow[i].keepBottom);
        double pageStart = 0;
        double shift = 0;
        doc_->pages.emplace_back();
        for (FlowItem& fi : flow) {
            if (std::max(fi.bottom, fi.keepBottom) - pageStart + shift > bodyH + 0.01 && fi.top - pageStart > 0.01) {
                doc_->pages.emplace_back();
                pageStart = fi.top;
                shift = 0;
                for (const Group& g : groups_)
                    if (g.firstTop < pageStart - 0.01 && g.lastBottom > pageStart + 0.01 && !g.header.empty())
                        shift = std::max(shift, g.headerHeight);
                for (const Group& g : groups_)
                    if (g.firstTop < pageStart - 0.01 && g.lastBottom > pageStart + 0.01)
                        for (DrawItem d : g.header) {
                            d.rect.translate(m.left(), bodyTop);
                            doc_->pages.back().push_back(d);
                        }
            }
            for (DrawItem& d : fi.items) {
                d.rect.translate(m.left(), bodyTop - pageStart + shift);
                doc_->pages.back().push_back(std::move(d));
            }
        }
        const int count = doc_->pageCount();
        for (int p = 0; p < count; ++p) {
            std::vector<FlowItem> band;
            if (header)
                layoutSection(main_, *header, first, {}, m.left(), m.top(), band, -1);
            if (footer)
                layoutSection(main_, *footer, first, {}, m.left(), page.height() - m.bottom() - footerH, band, -1);
            for (FlowItem& fi : band)
                for (DrawItem& d : fi.items) {
                    if (d.align & 0x10000) {
                        d.align &= ~0x10000;
                        d.text = d.text.arg(p + 1).arg(count);
                        d.textWidth = cachedWidth(d.font, d.text);
                    }
                    doc_->pages[p].push_back(std::move(d));
                }
        }
    }

    const Report& main_;
    QImage measureDevice_;
    std::vector<QFontMetricsF> metrics_;
    std::shared_ptr<ReportDocument> doc_;
    QHash<QString, std::shared_ptr<const QPicture>> pictures_;
    std::vector<Group> groups_;
    std::vector<QHash<QString, double>> widths_; // per font: text -> width in mm
    QHash<const Field*, int> columnOf_;          // a bound field's column in its query's records
    QHash<const Section*, std::vector<const Field*>> sorted_;
    QHash<const Section*, std::vector<int>> ruleColumns_;
};

LayoutResult Report::layout() const
{
    LayoutResult result;
    try {
        Layouter l(*this);
        result.document = l.run();
    } catch (const LayoutError& e) {
        result.error = e.what;
    }
    return result;
}

} // namespace nbx::reports
