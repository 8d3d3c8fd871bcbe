#include "localisation/LangDesk.h"

#include "localisation/Strings.h"

#include <QLocale>
#include <cmath>

namespace nbx {

namespace {

// VB's Trim: spaces only, not tabs.
QString trimSpaces(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

// VB's Val: the leading number of the text, blanks inside it skipped; 0 when there is none.
double vbVal(const QString& text)
{
    QString digits;
    bool seenDigit = false, seenDot = false, seenExp = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n'))
            continue;
        if (c.isDigit() && c.unicode() < 128) {
            digits += c;
            seenDigit = true;
        } else if ((c == QLatin1Char('-') || c == QLatin1Char('+'))
                   && (digits.isEmpty() || digits.endsWith(QLatin1Char('e')))) {
            digits += c;
        } else if (c == QLatin1Char('.') && !seenDot && !seenExp) {
            digits += c;
            seenDot = true;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char('d')
                    || c == QLatin1Char('D'))
                   && seenDigit && !seenExp) {
            digits += QLatin1Char('e');
            seenExp = true;
        } else {
            break;
        }
    }
    while (!digits.isEmpty() && !digits.back().isDigit())
        digits.chop(1);
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : 0.0;
}

} // namespace

long roundVal(const QString& text); // shared with the language database reader
long roundVal(const QString& text)
{
    return static_cast<long>(std::lrint(vbVal(text))); // half to even, as VB's CLng
}

LangDesk::LangDesk()
{
    sForeignColumnName_ = QStringLiteral("Foreign");
    bEnabled_ = true;
    bTestStrWidth_ = false;
    sStrWidthFactors_ = QStringLiteral("4:100,10:80,20:60,30:40,50:20,9999:10");
    sPadChar_ = QStringLiteral("W");
    bDbOpen_ = false;
    bConvertEscapes_ = true;
    lMaxNativeLen_ = 255;
    sTagExclude_ = QStringLiteral("!");
    lTagExcludeLen_ = 1;
    sProperties_ = QStringLiteral("Caption,ToolTipText");
    ParseProperties();
    sUnknownStrID_ = QStringLiteral("GetS: Unknown String ID ");
}

LangDesk::~LangDesk()
{
    CloseLanguageDatabase();
}

long LangDesk::LocaleID() const
{
    const QLocale loc = QLocale::system();
    switch (loc.language()) {
    case QLocale::Spanish: return 1034;
    case QLocale::Catalan: return 1027;
    case QLocale::English: return loc.territory() == QLocale::UnitedKingdom ? 2057 : 1033;
    case QLocale::German: return 1031;
    case QLocale::French: return 1036;
    case QLocale::Italian: return 1040;
    case QLocale::Portuguese: return loc.territory() == QLocale::Brazil ? 1046 : 2070;
    default: return 1033;
    }
}

void LangDesk::setSPadChar(const QString& v)
{
    sPadChar_ = v.isEmpty() ? QStringLiteral("W") : v.left(1);
}

void LangDesk::setSProperties(const QString& v)
{
    sProperties_ = v;
    ParseProperties();
}

void LangDesk::setSTagExclude(const QString& v)
{
    sTagExclude_ = v;
    lTagExcludeLen_ = v.size();
}

void LangDesk::ParseProperties()
{
    colProperties_.clear();
    QString work = sProperties_;
    QString token = trimSpaces(GetToken(work, QStringLiteral(",")));
    while (!token.isEmpty()) {
        colProperties_.append(token);
        token = trimSpaces(GetToken(work, QStringLiteral(",")));
    }
}

// Leading spaces are dropped. A token may be quoted with " or ': separators inside the quotes
// belong to it, and a separator right after the closing quote is skipped too. An unquoted token
// ends at the separator, which is skipped. Only a one-character separator can match.
QString LangDesk::GetToken(QString& source, const QString& separator)
{
    qsizetype start = 0;
    while (start < source.size() && source.at(start) == QLatin1Char(' '))
        ++start;
    const QString s = source.mid(start);
    const bool canMatch = separator.size() == 1;
    const QChar sep = canMatch ? separator.at(0) : QChar();

    QChar quote;
    qsizetype pos = 0;
    if (!s.isEmpty() && (s.at(0) == QLatin1Char('"') || s.at(0) == QLatin1Char('\''))) {
        quote = s.at(0);
        pos = 1;
    }
    QString token;
    while (pos < s.size()) {
        const QChar c = s.at(pos);
        if (!quote.isNull()) {
            if (c == quote) {
                ++pos;
                if (canMatch && pos < s.size() && s.at(pos) == sep)
                    ++pos;
                break;
            }
        } else if (canMatch && c == sep) {
            ++pos;
            break;
        }
        token += c;
        ++pos;
    }
    source = s.mid(pos);
    return token;
}

QString LangDesk::ConvertCrLf(const QString& text)
{
    QString copy = text;
    copy.replace(QStringLiteral("{\\r}"), QStringLiteral("\r"));
    copy.replace(QStringLiteral("{\\n}"), QStringLiteral("\n"));
    return copy;
}

QString LangDesk::GetS(long id, std::initializer_list<QString> args)
{
    const QString native = GetNativeString(id, sUnknownStrID_);
    QString text = GetTranslation(native);
    // Each argument replaces the first "%s" left, searching from the start every time; an
    // argument without a "%s" to fill is dropped.
    for (const QString& arg : args) {
        const qsizetype at = text.indexOf(QStringLiteral("%s"), 0, Qt::CaseSensitive);
        if (at >= 0)
            text.replace(at, 2, arg);
    }
    if (bConvertEscapes_)
        text = ConvertCrLf(text);
    return text;
}

QString LangDesk::GetTranslation(const QString& native)
{
    if (bTestStrWidth_)
        return widthTestPadding(native);
    try {
        return lDbType_ != TextLanguageDatabase ? GetTranslationAccess(native)
                                                : GetTranslationText(native);
    } catch (const std::exception& e) {
        sErrDescription_ = QString::fromLocal8Bit(e.what());
        return native;
    }
}

// Width test: the native text padded by the percentage of the first entry of sStrWidthFactors
// whose length limit it does not exceed.
QString LangDesk::widthTestPadding(const QString& native)
{
    const long len = native.size();
    float factor = 1.0f;
    QString work = sStrWidthFactors_;
    while (!work.isEmpty()) {
        QString entry = GetToken(work, QStringLiteral(","));
        if (entry.isEmpty())
            continue;
        const long limit = roundVal(GetToken(entry, QStringLiteral(":")));
        const long percent = roundVal(GetToken(entry, QStringLiteral(":")));
        if (len <= limit) {
            factor = static_cast<float>(1.0 + percent / 100.0);
            break;
        }
    }
    const long newLen = static_cast<long>(std::lrint(static_cast<double>(len) * factor));
    const long pad = newLen - len;
    return pad > 0 ? native + QString(pad, sPadChar_.at(0)) : native;
}

LangDesk& langDesk()
{
    // Never destroyed: the database is closed by shutdownLangDesk() while Qt is still up.
    static LangDesk* engine = new LangDesk;
    return *engine;
}

void shutdownLangDesk()
{
    langDesk().CloseLanguageDatabase();
}

QString GetS(long id, std::initializer_list<QString> args)
{
    return langDesk().GetS(id, args);
}

QString GetS(const QString& native, std::initializer_list<QString> args)
{
    LangDesk& desk = langDesk();
    QString text = desk.GetTranslation(native);
    // Each argument fills the next "%s" after the previous one, so an argument holding "%s"
    // (a path, a port name) is never filled itself.
    qsizetype from = 0;
    for (const QString& arg : args) {
        const qsizetype at = text.indexOf(QStringLiteral("%s"), from, Qt::CaseSensitive);
        if (at < 0)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    if (desk.bConvertEscapes())
        text = desk.ConvertCrLf(text);
    return text;
}

QString settingsWriteFailedText(const QString& file)
{
    return GetS(QStringLiteral("No se ha podido guardar la configuración en el fichero %s"), {file});
}

namespace {

// The seven languages: the language code, the Windows locale id kept in nbx70.ini under
// "Language", and the language column of the language database.
const struct {
    int code;
    const char* localeId;
    const char16_t* column;
} kLanguages[] = {
    {1000, "1034", u"Espa\u00f1ol"}, {2000, "1027", u"Catal\u00e0"},  {3000, "1033", u"English"},
    {4000, "1031", u"Deutsch"},      {5000, "1036", u"Fran\u00e7ais"}, {6000, "1040", u"Italiano"},
    {7000, "2070", u"Portugu\u00eas"},
};

} // namespace

QString languageColumnForCode(int codigoIdioma)
{
    for (const auto& l : kLanguages)
        if (l.code == codigoIdioma)
            return QString::fromUtf16(l.column);
    return QStringLiteral("English");
}

QString localeIdForLanguageCode(int codigoIdioma)
{
    for (const auto& l : kLanguages)
        if (l.code == codigoIdioma)
            return QString::fromLatin1(l.localeId);
    return {};
}

int languageCodeForLocaleId(const QString& localeId)
{
    for (const auto& l : kLanguages)
        if (localeId == QLatin1String(l.localeId))
            return l.code;
    return 0;
}

QStringList LangDesk::languageColumns()
{
    QStringList out;
    for (const auto& l : kLanguages)
        out << QString::fromUtf16(l.column);
    return out;
}

} // namespace nbx
