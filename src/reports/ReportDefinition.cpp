// Reading of the report definition files (XML of our own format; see resources/XML/README.md).
#include "reports/Report.h"

#include "localisation/Strings.h"

#include <QFile>
#include <QPageSize>
#include <QSet>
#include <QXmlStreamReader>
#include <cmath>

namespace nbx::reports {

namespace {

const QSet<QString> kSections = {QStringLiteral("ReportHeader"), QStringLiteral("PageHeader"),
                                 QStringLiteral("Header"),       QStringLiteral("Detail"),
                                 QStringLiteral("PageFooter"),   QStringLiteral("ReportFooter")};

const QSet<QString> kFieldAttributes = {
    QStringLiteral("name"),   QStringLiteral("kind"),    QStringLiteral("x"),          QStringLiteral("y"),
    QStringLiteral("w"),      QStringLiteral("h"),       QStringLiteral("source"),     QStringLiteral("format"),
    QStringLiteral("image"),  QStringLiteral("keepAspect"), QStringLiteral("canGrow"), QStringLiteral("align"),
    QStringLiteral("bold"),   QStringLiteral("size"),    QStringLiteral("border"),     QStringLiteral("fill"),
    QStringLiteral("text"), QStringLiteral("keepWithNext")};

const QSet<QString> kReportAttributes = {QStringLiteral("name"), QStringLiteral("page"), QStringLiteral("orientation"),
                                         QStringLiteral("margins"), QStringLiteral("font")};
const QSet<QString> kSectionAttributes = {QStringLiteral("name"), QStringLiteral("height")};
const QSet<QString> kMapAttributes = {QStringLiteral("value"), QStringLiteral("text"), QStringLiteral("string")};
const QSet<QString> kReportsAttributes = {QStringLiteral("version")};

constexpr double kPointsPerMm = 72 / 25.4;
// A section's designed height, and so the positions in it, may run over pages (the graph report's
// Detail does); a field, a margin or a font must fit on one.
constexpr double kMaxSectionPages = 10;

// Subreports nest no deeper than this; the reader recurses once a level.
constexpr int kMaxNesting = 32;

struct ParseError {
    qint64 line;
    QString what;
};

} // namespace

class DefinitionParser {
public:
    explicit DefinitionParser(const QByteArray& text) : xml_(text) {}

    // Finds the top-level report `name`; nullptr with `notFound` when the file lacks it.
    std::unique_ptr<Report> parse(const QString& name, bool* notFound)
    {
        *notFound = false;
        if (!nextElement() || xml_.name() != QLatin1String("reports"))
            fail(QStringLiteral("the file does not start with <reports>"));
        checkAttributes(kReportsAttributes);
        std::unique_ptr<Report> found;
        while (nextChild()) {
            if (xml_.name() != QLatin1String("report"))
                fail(QStringLiteral("unexpected <%1>").arg(xml_.name().toString()));
            std::unique_ptr<Report> r = parseReport(true);
            if (r->name == name && !found)
                found = std::move(r);
        }
        if (xml_.hasError())
            fail(xml_.errorString());
        if (!found)
            *notFound = true;
        return found;
    }

    [[noreturn]] void fail(const QString& what) { throw ParseError{xml_.lineNumber(), what}; }

private:
    // Elements are matched by their local names: one with a namespace prefix is not ours.
    void checkPrefix()
    {
        if (!xml_.prefix().isEmpty())
            fail(QStringLiteral("unexpected <%1>").arg(xml_.qualifiedName().toString()));
    }

    // Moves to the next start element of the document; false at the end.
    bool nextElement()
    {
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement()) {
                checkPrefix();
                return true;
            }
        }
        if (xml_.hasError())
            fail(xml_.errorString());
        return false;
    }
    // Moves to the next child element of the current one; false at its end.
    bool nextChild()
    {
        const bool ok = xml_.readNextStartElement();
        if (!ok && xml_.hasError())
            fail(xml_.errorString());
        if (ok)
            checkPrefix();
        return ok;
    }

    // Every attribute of the current element must be one of `known`, without a namespace prefix
    // (the attributes are read by their plain names).
    void checkAttributes(const QSet<QString>& known)
    {
        for (const QXmlStreamAttribute& a : xml_.attributes())
            if (!a.prefix().isEmpty() || !known.contains(a.name().toString()))
                fail(QStringLiteral("unknown attribute %1").arg(a.qualifiedName().toString()));
    }

    QString attr(const char* name) const { return xml_.attributes().value(QLatin1String(name)).toString(); }
    bool has(const char* name) const { return xml_.attributes().hasAttribute(QLatin1String(name)); }

    // A length no longer than `extent` either way: the page's width or height (in points for a
    // font), or for a length down a section (`flows`) that many pages.
    double number(const char* name, double fallback, double extent, bool flows = false)
    {
        if (!has(name))
            return fallback;
        bool ok = false;
        const double v = attr(name).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            fail(QStringLiteral("attribute %1 is not a number").arg(QLatin1String(name)));
        if (flows ? std::abs(v) > kMaxSectionPages * extent : std::abs(v) > extent)
            fail(flows ? QStringLiteral("attribute %1 is longer than %2 pages").arg(QLatin1String(name)).arg(kMaxSectionPages)
                       : QStringLiteral("attribute %1 is larger than the page").arg(QLatin1String(name)));
        return v;
    }
    // A size: a length that is not negative.
    double size(const char* name, double fallback, double extent, bool flows = false)
    {
        const double v = number(name, fallback, extent, flows);
        if (v < 0)
            fail(QStringLiteral("attribute %1 must not be negative").arg(QLatin1String(name)));
        return v;
    }
    bool flag(const char* name, bool fallback)
    {
        if (!has(name))
            return fallback;
        const QString v = attr(name);
        if (v == QLatin1String("true"))
            return true;
        if (v == QLatin1String("false"))
            return false;
        fail(QStringLiteral("attribute %1 must be true or false").arg(QLatin1String(name)));
    }

    std::unique_ptr<Report> parseReport(bool main, int depth = 0)
    {
        checkAttributes(kReportAttributes);
        auto report = std::make_unique<Report>();
        report->name = attr("name");
        if (report->name.isEmpty())
            fail(QStringLiteral("a report without a name"));
        if (main) {
            QPageSize size(QPageSize::A4);
            if (has("page") && attr("page") != QLatin1String("A4")) {
                if (attr("page") == QLatin1String("Letter"))
                    size = QPageSize(QPageSize::Letter);
                else
                    fail(QStringLiteral("unknown page %1").arg(attr("page")));
            }
            QPageLayout::Orientation o = QPageLayout::Portrait;
            if (attr("orientation") == QLatin1String("landscape"))
                o = QPageLayout::Landscape;
            else if (has("orientation") && attr("orientation") != QLatin1String("portrait"))
                fail(QStringLiteral("unknown orientation %1").arg(attr("orientation")));
            QMarginsF m(12, 12, 12, 12);
            if (has("margins")) {
                const QStringList p = attr("margins").split(QLatin1Char(','));
                if (p.size() != 4)
                    fail(QStringLiteral("margins must be \"left,top,right,bottom\""));
                double v[4];
                for (int i = 0; i < 4; ++i) {
                    bool ok = false;
                    v[i] = p[i].toDouble(&ok);
                    if (!ok || !std::isfinite(v[i]))
                        fail(QStringLiteral("margins must be numbers"));
                    if (v[i] < 0)
                        fail(QStringLiteral("margins must not be negative"));
                }
                m = QMarginsF(v[0], v[1], v[2], v[3]);
            }
            report->pageLayout = QPageLayout(size, o, m, QPageLayout::Millimeter);
            page_ = report->pageLayout.fullRect(QPageLayout::Millimeter).size();
            if (m.left() + m.right() >= page_.width() || m.top() + m.bottom() >= page_.height())
                fail(QStringLiteral("margins are larger than the page"));
        }
        if (has("font")) {
            const QStringList f = attr("font").split(QLatin1Char(','));
            bool ok = f.size() == 2;
            const double size = ok ? f[1].toDouble(&ok) : 0;
            if (!ok || !std::isfinite(size) || size <= 0)
                fail(QStringLiteral("font must be \"family,size\""));
            if (size > page_.height() * kPointsPerMm)
                fail(QStringLiteral("the font is larger than the page"));
            report->fontFamily = f[0].trimmed();
            report->fontSize = size;
        }
        QSet<QString> names;
        while (nextChild()) {
            if (xml_.name() != QLatin1String("section"))
                fail(QStringLiteral("unexpected <%1> in report %2").arg(xml_.name().toString(), report->name));
            checkAttributes(kSectionAttributes);
            auto section = std::make_unique<Section>();
            section->name = attr("name");
            if (!kSections.contains(section->name))
                fail(QStringLiteral("unknown section \"%1\"").arg(section->name));
            if (report->section(section->name))
                fail(QStringLiteral("section \"%1\" appears twice").arg(section->name));
            section->height = size("height", 0, page_.height(), true);
            while (nextChild()) {
                if (xml_.name() != QLatin1String("field"))
                    fail(QStringLiteral("unexpected <%1> in section %2").arg(xml_.name().toString(), section->name));
                std::unique_ptr<Field> field = parseField(report.get(), section->fields.size(), depth);
                if (names.contains(field->name))
                    fail(QStringLiteral("field \"%1\" appears twice in report %2").arg(field->name, report->name));
                names.insert(field->name);
                section->fields.push_back(std::move(field));
            }
            report->sections.push_back(std::move(section));
        }
        return report;
    }

    std::unique_ptr<Field> parseField(Report* owner, size_t index, int depth)
    {
        checkAttributes(kFieldAttributes);
        auto f = std::make_unique<Field>();
        f->line = int(xml_.lineNumber());
        const QString kind = attr("kind");
        static const QHash<QString, FieldKind> kinds = {
            {QStringLiteral("label"), FieldKind::Label},           {QStringLiteral("text"), FieldKind::Text},
            {QStringLiteral("bound"), FieldKind::Bound},           {QStringLiteral("result"), FieldKind::Result},
            {QStringLiteral("picture"), FieldKind::Picture},       {QStringLiteral("subreport"), FieldKind::Subreport},
            {QStringLiteral("pageNumber"), FieldKind::PageNumber}, {QStringLiteral("line"), FieldKind::Line}};
        if (!kinds.contains(kind))
            fail(QStringLiteral("unknown field kind \"%1\"").arg(kind));
        f->kind = kinds.value(kind);
        f->name = attr("name");
        if (f->name.isEmpty()) {
            if (f->kind != FieldKind::Line && f->kind != FieldKind::PageNumber)
                fail(QStringLiteral("a field without a name"));
            f->name = QStringLiteral("#%1").arg(f->line) + QString::number(index);
        }
        // A line runs from (x, y) to (x + w, y + h) in any direction; other fields have sizes.
        if (f->kind == FieldKind::Line)
            f->rect = QRectF(number("x", 0, page_.width()), number("y", 0, page_.height(), true),
                             number("w", 0, page_.width()), number("h", 0, page_.height()));
        else
            f->rect = QRectF(number("x", 0, page_.width()), number("y", 0, page_.height(), true),
                             size("w", 0, page_.width()), size("h", 0, page_.height()));
        f->source = attr("source");
        f->format = attr("format");
        f->image = attr("image");
        f->keepAspect = flag("keepAspect", true);
        f->canGrow = flag("canGrow", false);
        f->keepWithNext = flag("keepWithNext", false);
        f->bold = flag("bold", false);
        f->border = flag("border", false);
        f->fontSize = size("size", 0, page_.height() * kPointsPerMm);
        f->text_ = attr("text");
        if (has("fill")) {
            f->fill = QColor(attr("fill"));
            if (!f->fill.isValid())
                fail(QStringLiteral("fill is not a colour"));
        }
        const QString align = attr("align");
        if (align == QLatin1String("right"))
            f->align = Qt::AlignRight;
        else if (align == QLatin1String("center"))
            f->align = Qt::AlignHCenter;
        else if (!align.isEmpty() && align != QLatin1String("left"))
            fail(QStringLiteral("unknown alignment %1").arg(align));
        if (f->kind == FieldKind::Bound && f->source.isEmpty())
            fail(QStringLiteral("bound field \"%1\" without a source").arg(f->name));
        if (f->kind == FieldKind::Picture && f->image.isEmpty())
            fail(QStringLiteral("picture field \"%1\" without an image").arg(f->name));
        while (nextChild()) {
            if (xml_.name() == QLatin1String("map")) {
                checkAttributes(kMapAttributes);
                ValueMap m;
                m.value = attr("value");
                m.text = attr("text");
                if (has("string")) {
                    bool ok = false;
                    m.stringId = attr("string").toLong(&ok);
                    if (!ok)
                        fail(QStringLiteral("map string must be a string id"));
                }
                f->maps.append(m);
                xml_.skipCurrentElement();
            } else if (xml_.name() == QLatin1String("report") && f->kind == FieldKind::Subreport && !f->sub_.report) {
                if (depth + 1 > kMaxNesting)
                    fail(QStringLiteral("subreports nested deeper than %1 levels").arg(kMaxNesting));
                f->sub_.report = parseReport(false, depth + 1);
                f->sub_.report->parent_ = owner;
            } else {
                fail(QStringLiteral("unexpected <%1> in field %2").arg(xml_.name().toString(), f->name));
            }
        }
        if (f->kind == FieldKind::Subreport && !f->sub_.report)
            fail(QStringLiteral("subreport field \"%1\" without its report").arg(f->name));
        return f;
    }

    QXmlStreamReader xml_;
    QSizeF page_; // millimetres: the page of the report being read, which bounds every length
};

LoadResult loadReportText(const QByteArray& text, const QString& path, const QString& reportName)
{
    LoadResult result;
    DefinitionParser parser(text);
    try {
        bool notFound = false;
        result.report = parser.parse(reportName, &notFound);
        if (notFound)
            result.error = GetS(QStringLiteral("El fichero %s no contiene el informe %s."), {path, reportName});
    } catch (const ParseError& e) {
        result.report.reset();
        // Why in words, then the reader's own account for whoever mends the file.
        result.error = GetS(QStringLiteral("El fichero %s no es una definición de informe válida."), {path})
            + QStringLiteral("\r%1, line %2: %3").arg(path).arg(e.line).arg(e.what);
    }
    return result;
}

LoadResult loadReport(const QString& path, const QString& reportName)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        LoadResult r;
        r.error = GetS(QStringLiteral("No se puede leer el fichero %s."), {path}) + QLatin1Char('\r') + file.errorString();
        return r;
    }
    return loadReportText(file.readAll(), path, reportName);
}

} // namespace nbx::reports
