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
#include <deque>
#include <map>
#include <optional>

namespace nbx::reports {

SubreportHolder::SubreportHolder() = default;
SubreportHolder::SubreportHolder(const SubreportHolder& other) : report(other.report ? other.report->clone() : nullptr) {}
SubreportHolder& SubreportHolder::operator=(const SubreportHolder& other)
{
    if (this != &other)
        report = other.report ? other.report->clone() : nullptr;
    return *this;
}
SubreportHolder::~SubreportHolder() = default;

Report::Report() = default;
Report::~Report() = default;

std::unique_ptr<Report> Report::clone() const
{
    auto copy = std::make_unique<Report>();
    copy->name = name;
    copy->pageLayout = pageLayout;
    copy->fontFamily = fontFamily;
    copy->fontSize = fontSize;
    copy->sql_ = sql_;
    copy->binds_ = binds_;
    copy->pictures_ = pictures_;
    for (const auto& s : sections) {
        auto section = std::make_unique<Section>();
        section->name = s->name;
        section->height = s->height;
        section->setDetailRules(s->detailRules());
        for (const auto& f : s->fields) {
            section->fields.push_back(std::make_unique<Field>(*f));
            if (Report* sub = section->fields.back()->sub_.report.get())
                sub->parent_ = copy.get();
        }
        copy->sections.push_back(std::move(section));
    }
    return copy;
}

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
// Qt sums a text's advances in 26.6 fixed point, which overflows past 2^25 device pixels (a few
// hundred thousand characters at the measuring resolution): longer texts are measured in pieces
// of this many characters.
constexpr qsizetype kMeasurePiece = 8192;
// A record band's row further on than this is reached by running its query again from that row
// rather than by stepping to it.
constexpr int kStepLimit = 256;
// Rows read before the one asked for when a query runs again, and the records remembered: the
// page above the one shown is drawn without running the query once more.
constexpr int kRowsBefore = 64;
constexpr size_t kRowsKept = 2 * kRowsBefore;
// Texts whose widths are remembered per font; the memory is cleared past it.
constexpr qsizetype kCachedWidths = 50000;

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
    // A record band keeps no items: they are laid out again from its record when its page is
    // drawn (section set), so the memory of a long listing does not grow with its records.
    const Report* report = nullptr;
    const Section* section = nullptr;
    int row = -1; // in the report's query
    double x = 0;
};

// A page: the items of the flow that it shows, moved by `shift - pageStart`, under the headings
// of the groups it continues.
struct PageRecord {
    size_t first = 0;
    size_t end = 0;
    double pageStart = 0;
    double shift = 0;
    std::vector<int> groups;
};

struct Group {
    double firstTop = 0;
    double lastBottom = 0;
    double headerHeight = 0;
    std::vector<DrawItem> header; // relative to the heading's top
};

} // namespace

class Layouter : public PageSource {
public:
    // `main` is the layouter's own copy: pages are laid out again from it when they are drawn.
    explicit Layouter(std::shared_ptr<const Report> main) : owned_(std::move(main)), main_(*owned_)
    {
        measureDevice_ = QImage(8, 8, QImage::Format_ARGB32);
        const int dpm = int(kMeasureDpi / kMmPerInch * 1000.0);
        measureDevice_.setDotsPerMeterX(dpm);
        measureDevice_.setDotsPerMeterY(dpm);
        for (const Report* r = &main_; r; r = r->parent_)
            pictures_ = r->pictures_;
    }

    // Lays the whole report out once, keeping of each page only where its items come from.
    void run()
    {
        std::vector<QSqlRecord> rows = query(main_);
        if (main_.sql_.isEmpty())
            rows.emplace_back(); // a report without a source lays its Detail out once
        first_ = rows.empty() ? QSqlRecord() : rows.front();
        double y = 0;
        std::vector<FlowItem> flow;
        if (const Section* s = main_.section(QStringLiteral("ReportHeader")))
            y += layoutSection(main_, *s, first_, {}, 0, y, flow, -1);
        if (const Section* s = main_.section(QStringLiteral("Detail")))
            for (const QSqlRecord& r : rows)
                y += layoutSection(main_, *s, r, results(*s, r), 0, y, flow, -1);
        if (const Section* s = main_.section(QStringLiteral("ReportFooter")))
            y += layoutSection(main_, *s, first_, {}, 0, y, flow, -1);
        paginate(flow);
        // The page headings and footers are laid out with each page: once here for their fonts.
        std::vector<DrawItem> frame;
        try {
            pageFrame(pageCount() - 1, frame);
        } catch (const LayoutError&) {
        }
    }

    int pageCount() const { return int(pages_.size()); }
    const std::vector<FontSpec>& fonts() const { return fonts_; }

    std::vector<DrawItem> items(int page) override
    {
        std::vector<DrawItem> out;
        if (page < 0 || page >= pageCount())
            return out;
        const PageRecord& p = pages_[size_t(page)];
        const QMarginsF m = main_.pageLayout.margins(QPageLayout::Millimeter);
        for (int g : p.groups)
            for (DrawItem d : groups_[size_t(g)].header) {
                d.rect.translate(m.left(), bodyTop_);
                out.push_back(std::move(d));
            }
        try {
            for (size_t i = p.first; i < p.end; ++i) {
                const FlowItem& fi = flow_[i];
                std::vector<DrawItem> band = fi.section ? replay(fi) : fi.items;
                for (DrawItem& d : band) {
                    d.rect.translate(m.left(), bodyTop_ - p.pageStart + p.shift);
                    out.push_back(std::move(d));
                }
            }
            pageFrame(page, out);
        } catch (const LayoutError&) {
            // The records changed under the document: the page shows what could be laid out.
        }
        return out;
    }

    // The queries end; the rows read last stay remembered.
    void release() override
    {
        for (auto& [report, cursor] : cursors_)
            cursor.query.reset();
    }

private:
    // The page's heading and footer, with its number.
    void pageFrame(int page, std::vector<DrawItem>& out)
    {
        const QMarginsF m = main_.pageLayout.margins(QPageLayout::Millimeter);
        const QSizeF size = main_.pageLayout.fullRect(QPageLayout::Millimeter).size();
        std::vector<FlowItem> band;
        if (const Section* header = main_.section(QStringLiteral("PageHeader")))
            layoutSection(main_, *header, first_, {}, m.left(), m.top(), band, -1);
        if (const Section* footer = main_.section(QStringLiteral("PageFooter")))
            layoutSection(main_, *footer, first_, {}, m.left(), size.height() - m.bottom() - footer->height, band, -1);
        for (FlowItem& fi : band)
            for (DrawItem& d : fi.items) {
                if (d.align & 0x10000) {
                    d.align &= ~0x10000;
                    d.text = d.text.arg(page + 1).arg(pageCount());
                    d.textWidth = cachedWidth(d.font, d.text);
                }
                out.push_back(std::move(d));
            }
    }

    int fontIndex(const Report& r, const Field& f)
    {
        FontSpec wanted{r.fontFamily, f.fontSize > 0 ? f.fontSize : r.fontSize, f.bold};
        for (size_t i = 0; i < fonts_.size(); ++i)
            if (fonts_[i] == wanted)
                return int(i);
        fonts_.push_back(wanted);
        QFont font(wanted.family);
        font.setPointSizeF(wanted.pointSize);
        font.setBold(wanted.bold);
        font.setHintingPreference(QFont::PreferNoHinting);
        metrics_.emplace_back(font, &measureDevice_);
        widths_.emplace_back();
        fonts_.back().ascentMm = metrics_.back().ascent() * kMmPerInch / kMeasureDpi;
        return int(fonts_.size() - 1);
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
        const FontSpec base = fonts_[size_t(font)];
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
        if (cache.size() >= kCachedWidths)
            cache.clear();
        cache.insert(s, w);
        return w;
    }

    double lineHeightMm(int font) const { return metrics_[font].lineSpacing() * kMmPerInch / kMeasureDpi; }

    // The length of the piece of `s` from `at` measured at once: whole surrogate pairs.
    static qsizetype pieceLength(QStringView s, qsizetype at)
    {
        qsizetype n = std::min(kMeasurePiece, s.size() - at);
        if (at + n < s.size() && s.at(at + n - 1).isHighSurrogate())
            ++n;
        return n;
    }

    double widthMm(int font, QStringView s) const
    {
        double px = 0;
        for (qsizetype at = 0; at < s.size();) {
            const qsizetype n = pieceLength(s, at);
            px += metrics_[size_t(font)].horizontalAdvance(s.mid(at, n).toString());
            at += n;
        }
        return px * kMmPerInch / kMeasureDpi;
    }

    // A text wider than its box, cut at the box's sides: keeps the characters that can show at
    // its alignment (the start, the end or the middle) and where the first of them starts.
    void cut(DrawItem& d, Qt::Alignment align) const
    {
        const QStringView text(d.text);
        const double box = d.rect.width();
        // How far left of the box's left side the whole text starts.
        double start = 0;
        if (align & Qt::AlignRight)
            start = d.textWidth - box;
        else if (align & Qt::AlignHCenter)
            start = (d.textWidth - box) / 2;
        qsizetype from = 0;
        double before = 0; // the width of the characters before `from`
        if (start > 0) {
            while (from < text.size()) {
                const qsizetype n = pieceLength(text, from);
                const double w = widthMm(d.font, text.mid(from, n));
                if (before + w > start)
                    break;
                before += w;
                from += n;
            }
            if (from < text.size() && widthMm(d.font, text.mid(from, 1)) <= start - before) {
                const qsizetype k = fittingPrefix(d.font, text.mid(from), start - before);
                before += widthMm(d.font, text.mid(from, k));
                from += k;
            }
        }
        d.visibleFrom = from;
        d.visibleX = before - start;
        qsizetype n = 0;
        if (from < text.size()) {
            // What fits up to the box's right side, and two characters more for the one cut
            // there and any glyph reaching past its advance.
            n = std::min(text.size() - from, fittingPrefix(d.font, text.mid(from), box - d.visibleX) + 2);
            if (from + n < text.size() && text.at(from + n - 1).isHighSurrogate())
                ++n;
        }
        d.visibleLength = n;
        d.visibleWidth = widthMm(d.font, text.mid(from, n));
    }

    // Whether `s` is wider than `width`. A text's width grows with every character, so a long
    // text is judged by prefixes of growing length: one a few lines wide shows it is too wide,
    // and a pasted word of 100,000 characters is not measured whole on every pass.
    bool wider(int font, QStringView s, double width) const
    {
        for (qsizetype k = kProbeLength; k < s.size(); k *= 2)
            if (widthMm(font, s.left(k)) > width)
                return true;
        return widthMm(font, s) > width;
    }

    // The number of leading characters of `s` that fit in `width`: at least one character (a
    // surrogate pair stays whole), so breaking always moves on. The search starts from `hint`
    // (the length of the previous piece of the same word) or else from prefixes of growing
    // length, so its cost follows the length of what fits, not of `s`.
    qsizetype fittingPrefix(int font, QStringView s, double width, qsizetype hint = 0) const
    {
        auto fits = [&](qsizetype k) { return widthMm(font, s.left(k)) <= width; };
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

    // Runs the report's query, from row `offset` on when it is above 0 and the query has no
    // limit of its own (SQLite skips the rows before it without handing them over). Returns the
    // row its first record is, or -1 when the query cannot run.
    static int open(QSqlQuery& q, const Report& r, int offset, QString* error)
    {
        static const QRegularExpression limit(QStringLiteral("\\blimit\\b"), QRegularExpression::CaseInsensitiveOption);
        QString sql = r.sql_;
        QVariantList binds = r.binds_;
        if (offset > 0 && !sql.contains(limit) && !sql.contains(QLatin1Char(';'))) {
            sql += QStringLiteral(" LIMIT -1 OFFSET ?");
            binds << offset;
        } else {
            offset = 0;
        }
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            *error = failureText(DatabaseTask::Read, sqlErrorText(q.lastError())) + QStringLiteral(" (%1)").arg(r.name);
            return -1;
        }
        for (const QVariant& b : binds)
            q.addBindValue(b);
        if (!q.exec()) {
            *error = failureText(DatabaseTask::Read, sqlErrorText(q.lastError())) + QStringLiteral(" (%1)").arg(r.name);
            return -1;
        }
        return offset;
    }

    std::vector<QSqlRecord> query(const Report& r)
    {
        std::vector<QSqlRecord> rows;
        if (r.sql_.isEmpty())
            return rows;
        QSqlQuery q(mainDb());
        QString error;
        if (open(q, r, 0, &error) < 0)
            throw LayoutError{error};
        while (q.next())
            rows.push_back(q.record());
        return rows;
    }

    // Record `row` of the report's query, read again to draw a page. The query stays open for
    // the next rows (a printout reads them all in one pass) until release(), and the last rows
    // read are remembered. An empty record when the query fails or has fewer rows now.
    QSqlRecord recordAt(const Report& r, int row)
    {
        Cursor& c = cursors_[&r];
        for (const auto& [at, record] : c.kept)
            if (at == row)
                return record;
        if (!c.query || row < c.next || row > c.next + kStepLimit) {
            c.query = std::make_unique<QSqlQuery>(mainDb());
            QString error;
            c.next = open(*c.query, r, std::max(0, row - kRowsBefore), &error);
            if (c.next < 0) {
                c.query.reset();
                return QSqlRecord();
            }
        }
        while (c.next <= row) {
            if (!c.query->next()) {
                c.query.reset();
                return QSqlRecord();
            }
            if (c.kept.size() == kRowsKept)
                c.kept.pop_front();
            c.kept.emplace_back(c.next, c.query->record());
            ++c.next;
        }
        return c.kept.back().second;
    }

    // The items of a record band, laid out again from its record.
    std::vector<DrawItem> replay(const FlowItem& fi)
    {
        const QSqlRecord record = recordAt(*fi.report, fi.row);
        std::vector<FlowItem> band;
        layoutSection(*fi.report, *fi.section, record, results(*fi.section, record), fi.x, fi.top, band, fi.group, true);
        return band.empty() ? std::vector<DrawItem>() : std::move(band.front().items);
    }

    static bool holdsSubreport(const Section& s)
    {
        return std::any_of(s.fields.begin(), s.fields.end(),
                           [](const auto& f) { return f->kind == FieldKind::Subreport; });
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
            throw LayoutError{GetS(QStringLiteral("El campo %s del informe %s muestra la columna %s, que no está en sus datos."),
                                   {f.name, r.name, f.source})};
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
                    if (d.clip)
                        cut(d, f->align);
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
        // The records are read one at a time: a band keeps only its place and its row.
        QSqlQuery q(mainDb());
        QSqlRecord firstRow;
        bool more = false;
        if (!sub.sql_.isEmpty()) {
            QString error;
            if (open(q, sub, 0, &error) < 0)
                throw LayoutError{error};
            more = q.next();
            if (more)
                firstRow = q.record();
        }
        const int group = int(groups_.size());
        groups_.push_back(Group{});
        double h = 0;
        // The heading band, kept with the first row (none when there is no heading band).
        constexpr size_t kNoHeader = size_t(-1);
        size_t headerIndex = kNoHeader;
        if (const Section* s = sub.section(QStringLiteral("Header"))) {
            std::vector<FlowItem> header;
            const double hh = layoutSection(sub, *s, firstRow, {}, x, y, header, group, true);
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
            const bool replayed = !holdsSubreport(*s);
            for (int row = 0; more; ++row, more = q.next()) {
                const QSqlRecord r = row == 0 ? firstRow : q.record();
                const size_t at = flow.size();
                const double top = y + h;
                h += layoutSection(sub, *s, r, results(*s, r), x, top, flow, group, true);
                if (replayed) {
                    // The last rows stay remembered: a look at the end of a listing, the usual
                    // first, runs no query.
                    std::deque<std::pair<int, QSqlRecord>>& kept = cursors_[&sub].kept;
                    if (kept.size() == kRowsKept)
                        kept.pop_front();
                    kept.emplace_back(row, r);
                }
                if (replayed && flow.size() > at) {
                    FlowItem& band = flow.back();
                    std::vector<DrawItem>().swap(band.items);
                    band.report = &sub;
                    band.section = s;
                    band.row = row;
                    band.x = x;
                }
                if (headerIndex != kNoHeader) {
                    flow[headerIndex].keepBottom = y + h;
                    headerIndex = kNoHeader;
                }
            }
        }
        if (const Section* s = sub.section(QStringLiteral("ReportFooter")))
            h += layoutSection(sub, *s, firstRow, {}, x, y + h, flow, -1, true);
        groups_[group].firstTop = y;
        groups_[group].lastBottom = y + h;
        return h;
    }

    void paginate(std::vector<FlowItem>& flow)
    {
        const QSizeF page = main_.pageLayout.fullRect(QPageLayout::Millimeter).size();
        const QMarginsF m = main_.pageLayout.margins(QPageLayout::Millimeter);
        const Section* header = main_.section(QStringLiteral("PageHeader"));
        const Section* footer = main_.section(QStringLiteral("PageFooter"));
        const double headerH = header ? header->height : 0;
        const double footerH = footer ? footer->height : 0;
        bodyTop_ = m.top() + headerH;
        const double bodyH = page.height() - m.top() - m.bottom() - headerH - footerH;

        std::stable_sort(flow.begin(), flow.end(), [](const FlowItem& a, const FlowItem& b) { return a.top < b.top; });
        for (size_t i = flow.size(); i-- > 1;)
            if (flow[i - 1].keepWithNext)
                flow[i - 1].keepBottom = std::max(flow[i].bottom, flow[i].keepBottom);
        pages_.emplace_back();
        for (size_t i = 0; i < flow.size(); ++i) {
            const FlowItem& fi = flow[i];
            PageRecord& current = pages_.back();
            if (std::max(fi.bottom, fi.keepBottom) - current.pageStart + current.shift > bodyH + 0.01 &&
                fi.top - current.pageStart > 0.01) {
                current.end = i;
                PageRecord next;
                next.first = i;
                next.pageStart = fi.top;
                for (size_t g = 0; g < groups_.size(); ++g)
                    if (groups_[g].firstTop < next.pageStart - 0.01 && groups_[g].lastBottom > next.pageStart + 0.01) {
                        if (!groups_[g].header.empty())
                            next.shift = std::max(next.shift, groups_[g].headerHeight);
                        next.groups.push_back(int(g));
                    }
                pages_.push_back(std::move(next));
            }
        }
        pages_.back().end = flow.size();
        flow_ = std::move(flow);
    }

    struct Cursor {
        std::unique_ptr<QSqlQuery> query;
        int next = 0; // the row the query's next record is
        std::deque<std::pair<int, QSqlRecord>> kept; // the last rows read, in order
    };

    std::shared_ptr<const Report> owned_;
    const Report& main_;
    QImage measureDevice_;
    std::vector<QFontMetricsF> metrics_;
    std::vector<FontSpec> fonts_;
    QHash<QString, std::shared_ptr<const QPicture>> pictures_;
    std::vector<Group> groups_;
    std::vector<QHash<QString, double>> widths_; // per font: text -> width in mm
    QHash<const Field*, int> columnOf_;          // a bound field's column in its query's records
    QHash<const Section*, std::vector<const Field*>> sorted_;
    QHash<const Section*, std::vector<int>> ruleColumns_;
    QSqlRecord first_;                           // the main report's first record
    std::vector<FlowItem> flow_;                 // sorted by top
    std::vector<PageRecord> pages_;
    double bodyTop_ = 0;
    std::map<const Report*, Cursor> cursors_;
};

LayoutResult Report::layout() const
{
    LayoutResult result;
    try {
        auto layouter = std::make_shared<Layouter>(std::shared_ptr<const Report>(clone()));
        layouter->run();
        auto document = std::make_shared<ReportDocument>(layouter->pageCount(), layouter);
        document->pageLayout = pageLayout;
        document->fonts = layouter->fonts();
        result.document = std::move(document);
    } catch (const LayoutError& e) {
        result.error = e.what;
    }
    return result;
}

} // namespace nbx::reports
